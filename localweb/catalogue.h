// The film catalogue behind every page: portal cards, the vendor's link page, the Q&A site.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace localweb {

// How a film's file name is written in its eD2k link.
enum class NameForm {
    Plain,      // as it is (ASCII, or Chinese characters sent in the page's own charset)
    Utf8Escape, // every byte outside [A-Za-z0-9._~-] percent-escaped from UTF-8
    GbkEscape,  // the same from the GBK bytes of the name
};

struct Film {
    int number = 0; // 1-based position in the catalogue
    std::string titleZh;
    std::string titleEn;
    int year = 0;
    std::string line; // one short line for the cards
    std::string fileName;
    NameForm form = NameForm::Plain;
    std::uint64_t size = 0;
    std::string hash; // 32 upper-case hex digits

    // The name field as it stands in the link.
    std::string nameField() const;
    // "ed2k://|file|<name>|<size>|<hash>|/"
    std::string link() const;
    // Question-page number on the Q&A site that asks for this film.
    std::uint64_t questionId() const;
};

class Catalogue {
public:
    Catalogue();

    const std::vector<Film>& films() const { return films_; }

    // Films whose Chinese or English title holds the keyword (UTF-8), ignoring ASCII
    // case; the keyword is trimmed first. An empty keyword matches nothing.
    std::vector<const Film*> search(std::string_view keyword) const;

    // The films that answer a question page, 1 to 3 of them, always the same for one id.
    std::vector<const Film*> questionFilms(std::string_view questionDigits) const;

    // The film whose question page has this number, or nullptr.
    const Film* filmForQuestion(std::string_view questionDigits) const;

private:
    std::vector<Film> films_;
};

} // namespace localweb
