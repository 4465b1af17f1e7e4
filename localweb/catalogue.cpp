#include "catalogue.h"

#include "text.h"

namespace localweb {

namespace {

struct Entry {
    const char* titleZh;
    const char* titleEn;
    int year;
    const char* line;
    const char* fileName;
    NameForm form;
    std::uint64_t size;
    const char* hash;
};

// Fixed on purpose: tests and the README rely on these links. Append new films at the end.
const Entry entries[] = {
    {"变形金刚", "Transformers", 2007, "汽车人与霸天虎的战争降临地球。",
     "变形金刚.Transformers.2007.BD1080P.rmvb", NameForm::Utf8Escape, 1342177280ULL,
     "5C2BDC710539159BACA7CBC2D727CA67"},
    {"泰坦尼克号", "Titanic", 1997, "一艘巨轮，一段跨越阶层的爱情。",
     "泰坦尼克号.Titanic.1997.1080p.mkv", NameForm::GbkEscape, 4700000000ULL,
     "30A86949E3F9978E9D9F5EB4BDBDDB6F"},
    {"黑客帝国", "The Matrix", 1999, "红色药丸，还是蓝色药丸？", "The.Matrix.1999.1080p.mkv",
     NameForm::Plain, 1073741824ULL, "D7912E224DFF8D2D91004160ACC32DAC"},
    {"阿凡达", "Avatar", 2009, "潘多拉星球上的奇幻冒险。", "阿凡达.Avatar.2009.BD720P.mp4",
     NameForm::Plain, 2362232012ULL, "F999866A7757FCC9F0D024EE2A893632"},
    {"2012", "2012", 2009, "玛雅预言中的世界末日。", "2012.2009.BluRay.720p.x264.mkv",
     NameForm::Plain, 3221225472ULL, "732EE9FD9E49B177C777F97EAE590822"},
    {"喜羊羊与灰太狼大电影", "Pleasant Goat and Big Big Wolf: The Movie", 2009,
     "羊村的小伙伴勇闯虫虫王国。", "喜羊羊与灰太狼大电影.2009.国语.rmvb", NameForm::Utf8Escape,
     367001600ULL, "8B4CE468A2F377D7DB806201FE7A536D"},
    {"熊出没大电影之夺宝熊兵", "Boonie Bears: To the Rescue", 2014, "熊大熊二守护狗熊岭。",
     "熊出没大电影之夺宝熊兵.2014.HD.mp4", NameForm::GbkEscape, 681574400ULL,
     "500BEA0D7389DF76B56BC7B51BB41E0A"},
    {"功夫", "Kung Fu Hustle", 2004, "猪笼城寨里藏龙卧虎。", "功夫.Kung.Fu.Hustle.2004.DVDRip.avi",
     NameForm::Plain, 734003200ULL, "77400A3D45A991E4C250CF44ECBDE37A"},
    {"英雄", "Hero", 2002, "十步一杀，千里不留行。", "Hero.2002.DVDRip.XviD.avi", NameForm::Plain,
     733456384ULL, "8FAF72B4F59C2F22EE2E384EFD169B18"},
    {"卧虎藏龙", "Crouching Tiger, Hidden Dragon", 2000, "青冥剑引出的江湖恩怨。",
     "卧虎藏龙.Crouching.Tiger.Hidden.Dragon.2000.mkv", NameForm::Utf8Escape, 1610612736ULL,
     "ADE37E60663A8BDCC26BB544B039BAA9"},
    {"霸王别姬", "Farewell My Concubine", 1993, "人生如戏，戏如人生。",
     "霸王别姬.1993.国语中字.rmvb", NameForm::GbkEscape, 524288000ULL,
     "2235468B4ADD62FA9DC6881DEAB949AB"},
    {"让子弹飞", "Let the Bullets Fly", 2010, "让子弹再飞一会儿。",
     "让子弹飞.Let.the.Bullets.Fly.2010.720p.mkv", NameForm::Plain, 2254857830ULL,
     "0A727F681F62F9FF78B682F49D135D75"},
    {"盗梦空间", "Inception", 2010, "梦境之中还有梦境。", "Inception.2010.720p.BluRay.x264.mkv",
     NameForm::Plain, 4831838208ULL, "E65D7F5C15383FDD865015DD7CB0BA4E"},
    {"星际穿越", "Interstellar", 2014, "穿越虫洞，为人类寻找新家园。",
     "星际穿越.Interstellar.2014.1080p.mp4", NameForm::Utf8Escape, 3865470566ULL,
     "F74EC588EB77469988CC69DE5455D75D"},
    {"流浪地球", "The Wandering Earth", 2019, "带着地球去流浪。",
     "流浪地球.The.Wandering.Earth.2019.HD.mp4", NameForm::GbkEscape, 2684354560ULL,
     "71570C3D51FDE8B0EF404251D1763BFE"},
    {"大话西游", "A Chinese Odyssey", 1995, "曾经有一份真挚的爱情放在我面前……",
     "大话西游.A.Chinese.Odyssey.1995.rmvb", NameForm::Plain, 419430400ULL,
     "C7129D6BECA43EB1D00CCB627DCE9511"},
    {"肖申克的救赎", "The Shawshank Redemption", 1994, "希望是美好的事物。",
     "The.Shawshank.Redemption.1994.DVDRip.avi", NameForm::Plain, 734003200ULL,
     "1CE6A254E9ADB5AB2A0F843A52A7DF70"},
    {"千与千寻", "Spirited Away", 2001, "少女千寻误入神灵的世界。",
     "千与千寻.Spirited.Away.2001.mkv", NameForm::Utf8Escape, 1288490188ULL,
     "94B73A0055AA2763AB2D949212266638"},
    {"无间道", "Infernal Affairs", 2002, "卧底与内鬼的双面人生。",
     "无间道.Infernal.Affairs.2002.avi", NameForm::GbkEscape, 702545920ULL,
     "6D0E7218E9A8BD153DC6D00C5871CF6E"},
    {"ABC谋杀案", "The ABC Murders", 2018, "大侦探波洛追查字母杀手。",
     "The.ABC.Murders.2018.E01.mp4", NameForm::Plain, 524288000ULL,
     "4979F2B241E7ADA6D8B4F38A5B495EEF"},
    {"2012电影预告片合集", "Movie Trailers of 2012", 2012, "2012年度热门电影预告片一网打尽。",
     "2012电影预告片合集.flv", NameForm::Plain, 15728640ULL, "D0229E39A03AD92289BD56C2A5032391"},
    // A plain name with blanks and Chinese, as many real links carry it.
    {"大闹天宫", "Havoc in Heaven", 1961, "美猴王大闹天宫，玉帝也奈何不得。",
     "大闹天宫 Havoc in Heaven 1961.mkv", NameForm::Plain, 1181116006ULL,
     "3F6A1C9B82D4E0715CA9B3E6D2F80417"},
};

constexpr std::uint64_t questionBase = 180000000ULL;
constexpr std::uint64_t questionStep = 7654321ULL;

bool contains(std::string_view haystack, std::string_view needle) {
    return haystack.find(needle) != std::string_view::npos;
}

} // namespace

std::string Film::nameField() const {
    switch (form) {
    case NameForm::Utf8Escape:
        return percentEncode(fileName);
    case NameForm::GbkEscape:
        return percentEncode(utf8ToGbk(fileName));
    case NameForm::Plain:
        break;
    }
    return fileName;
}

std::string Film::link() const {
    return "ed2k://|file|" + nameField() + "|" + std::to_string(size) + "|" + hash + "|/";
}

std::uint64_t Film::questionId() const {
    return questionBase + static_cast<std::uint64_t>(number) * questionStep;
}

Catalogue::Catalogue() {
    int number = 0;
    for (const Entry& e : entries) {
        Film film;
        film.number = ++number;
        film.titleZh = e.titleZh;
        film.titleEn = e.titleEn;
        film.year = e.year;
        film.line = e.line;
        film.fileName = e.fileName;
        film.form = e.form;
        film.size = e.size;
        film.hash = e.hash;
        films_.push_back(std::move(film));
    }
}

std::vector<const Film*> Catalogue::search(std::string_view keyword) const {
    std::vector<const Film*> found;
    const std::string needle = asciiLower(trimBlanks(keyword));
    if (needle.empty())
        return found;
    for (const Film& film : films_) {
        if (contains(asciiLower(film.titleZh), needle) ||
            contains(asciiLower(film.titleEn), needle))
            found.push_back(&film);
    }
    return found;
}

const Film* Catalogue::filmForQuestion(std::string_view questionDigits) const {
    const auto id = parseDecimal(questionDigits);
    if (!id || *id <= questionBase || (*id - questionBase) % questionStep != 0)
        return nullptr;
    const std::uint64_t number = (*id - questionBase) / questionStep;
    if (number < 1 || number > films_.size())
        return nullptr;
    return &films_[number - 1];
}

std::vector<const Film*> Catalogue::questionFilms(std::string_view questionDigits) const {
    std::vector<const Film*> picked;
    const size_t total = films_.size();
    size_t first = 0;
    size_t count = 1;
    if (const Film* film = filmForQuestion(questionDigits)) {
        // A film's own question: its link first, then up to two films after it.
        first = static_cast<size_t>(film->number - 1);
        count = 1 + static_cast<size_t>(film->number) % 3;
    } else {
        const std::uint64_t h = fnv1a(questionDigits);
        first = static_cast<size_t>((h / 3) % total);
        count = 1 + static_cast<size_t>(h % 3);
    }
    for (size_t k = 0; k < count; ++k)
        picked.push_back(&films_[(first + k) % total]);
    return picked;
}

} // namespace localweb
