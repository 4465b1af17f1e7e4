#include "portal/search.h"

#include "portal/qasite.h"
#include "webkit/fetch.h"
#include "webkit/patterns.h"
#include "webkit/urlencode.h"

#include <QSet>

namespace portal {

namespace {
const QString kCharset = QStringLiteral("gbk");

const webkit::Pattern& searchPageLinks() {
    static const webkit::Pattern p(kSearchPageLinkPattern);
    return p;
}
const webkit::Pattern& questionPageLinks() {
    static const webkit::Pattern p(kQuestionPageLinkPattern);
    return p;
}
const webkit::Pattern& questionLinks() {
    static const webkit::Pattern p(kQuestionLinkPattern);
    return p;
}
} // namespace

LinkSearch::LinkSearch(QObject* parent) : QObject(parent) {}

LinkSearch::~LinkSearch() {
    cancel();
}

QString LinkSearch::searchAddress(const QString& keyword) {
    return QStringLiteral("http://") + kQnaHost + QStringLiteral("/search?&word=") +
           keyword + QStringLiteral("+ed2k");
}

quint64 LinkSearch::fetch(const QString& url, std::function<void(QByteArrayView)> done) {
    const quint64 generation = generation_;
    // The pages are only searched for links, so they stay UTF-8: only the links become text.
    const quint64 id = webkit::GetResponseUtf8(
        url, kCharset, this, [this, generation, done = std::move(done)](const QByteArray& page) {
            if (generation != generation_)
                return;
            done(page);
        });
    fetches_ << id;
    return id;
}

void LinkSearch::cancel() {
    for (quint64 id : std::as_const(fetches_))
        webkit::Fetcher::instance().cancel(id);
    ++generation_;
    endRun();
    // The last search's sources go; its page list is only read through them.
    lastPageOfLink_.clear();
}

void LinkSearch::endRun() {
    running_ = false;
    fetches_.clear();
    searchPageLinks_.reset();
    questionsKnown_ = false;
    questions_.clear();
    questionLinks_.clear();
    nextQuestion_ = 0;
    readingQuestions_ = 0;
}

QStringList LinkSearch::linkSources() const {
    QStringList sources;
    sources.reserve(lastPageOfLink_.size());
    for (int page : lastPageOfLink_)
        sources << lastPages_[page];
    return sources;
}

void LinkSearch::huoquindex(const QString& keyword) {
    cancel();
    running_ = true;
    // The two requests for the search page go out together: the first carries the keyword
    // encoded and gives the page's links, the second carries it as typed and gives the
    // question links.
    encodedSearchAddress_ = searchAddress(webkit::portal::URLEncode(keyword));
    fetch(encodedSearchAddress_, [this](QByteArrayView page) {
        searchPageLinks_ = searchPageLinks().matchAll(page);
        finishIfDone();
    });
    fetch(searchAddress(keyword), [this](QByteArrayView page) { huolianjie(page); });
}

void LinkSearch::huolianjie(QByteArrayView page) {
    // Every distinct question link once, at its first occurrence.
    QSet<QString> seen;
    for (const QString& link : questionLinks().matchAll(page)) {
        if (seen.contains(link))
            continue;
        seen.insert(link);
        questions_ << link;
    }
    questionLinks_.resize(questions_.size());
    questionsKnown_ = true;
    fetchQuestions();
    finishIfDone();
}

void LinkSearch::fetchQuestions() {
    while (readingQuestions_ < kParallelPages && nextQuestion_ < questions_.size()) {
        const int index = nextQuestion_++;
        ++readingQuestions_;
        fetch(questions_[index], [this, index](QByteArrayView page) { neiye(index, page); });
    }
}

void LinkSearch::neiye(int index, QByteArrayView page) {
    questionLinks_[index] = questionPageLinks().matchAll(page);
    --readingQuestions_;
    fetchQuestions();
    finishIfDone();
}

void LinkSearch::finishIfDone() {
    if (!running_ || !searchPageLinks_ || !questionsKnown_ || readingQuestions_ > 0 ||
        nextQuestion_ < questions_.size())
        return;
    QStringList links = *searchPageLinks_;
    lastPages_ = QStringList{encodedSearchAddress_} + questions_;
    lastPageOfLink_ = QList<int>(links.size(), 0);
    for (qsizetype i = 0; i < questionLinks_.size(); ++i) {
        links += *questionLinks_[i];
        lastPageOfLink_ += QList<int>(questionLinks_[i]->size(), int(i + 1));
    }
    endRun();
    Q_EMIT finished(links);
}

} // namespace portal
