#pragma once

#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace portal {

// The link search over the Q&A site: the search page for the keyword plus "+ed2k" is asked
// twice (once with the keyword GBK-encoded, for its eD2k links; once as typed, for its question
// links), then every distinct question page is read for more links. The links come out in the
// order of a one-by-one run: the search page's, then each question page's in the order its link
// first appears. The pages are fetched concurrently, a few question pages at a time.
class LinkSearch : public QObject {
    Q_OBJECT
public:
    explicit LinkSearch(QObject* parent = nullptr);
    ~LinkSearch() override;

    // How many question pages are read at once.
    static constexpr int kParallelPages = 6;

    // The search page address for a keyword part, encoded or not.
    static QString searchAddress(const QString& keyword);

    // Starts a search for `keyword` as typed. A search still running is dropped first: nothing
    // of it is reported.
    void huoquindex(const QString& keyword);
    // Drops the running search, if any.
    void cancel();
    bool running() const { return running_; }
    // Question pages being read right now.
    int questionPagesInFlight() const { return readingQuestions_; }

    // For each link of the last finished search, in the order of its links: the address of the
    // page it was read from, exactly as it was requested (the first, encoded search-page address
    // for the search page's links; the question page's address for its links). Empty while no
    // search has finished; a new search clears it.
    QStringList linkSources() const;

Q_SIGNALS:
    // The search ended; `links` is empty when nothing was found.
    void finished(const QStringList& links);

private:
    // The pages arrive decoded as UTF-8.
    void huolianjie(QByteArrayView page);
    void neiye(int index, QByteArrayView page);
    void fetchQuestions();
    void finishIfDone();
    // Forgets the running search's state (not the last finished search's link sources).
    void endRun();
    quint64 fetch(const QString& url, std::function<void(QByteArrayView)> done);

    bool running_ = false;
    quint64 generation_ = 0;
    // Every fetch of the running search; cancelling one that has ended does nothing.
    QList<quint64> fetches_;
    std::optional<QStringList> searchPageLinks_;
    bool questionsKnown_ = false;
    QStringList questions_;
    QList<std::optional<QStringList>> questionLinks_;
    int nextQuestion_ = 0;
    int readingQuestions_ = 0;
    QString encodedSearchAddress_;

    // The last finished search: the pages read (the search page first, then the question pages
    // in order) and, beside each link, the index of its page.
    QStringList lastPages_;
    QList<int> lastPageOfLink_;
};

} // namespace portal
