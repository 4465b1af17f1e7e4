#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

namespace webkit {

// Bounds on every fetch. The defaults are what a browser would put up with.
struct FetchLimits {
    int connectTimeoutMs = 30'000;    // to open the connection
    int stallTimeoutS = 60;           // no byte received for this long ends the fetch
    int totalTimeoutMs = 300'000;     // a whole fetch, however slowly it trickles
    qint64 maxBodyBytes = 32ll << 20; // a larger body ends the fetch with nothing
    int maxRedirects = 10;
};

// Escapes what cannot stand in a request line (blanks, control characters, non-ASCII as UTF-8
// bytes); every other character, existing escapes included, is left exactly as it is.
QByteArray requestTarget(const QString& url);

// HTTP GET on the program's event loop: one libcurl multi handle driven by socket notifiers
// and a timer. No worker thread, no nested event loop; any number of fetches at once.
class Fetcher : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(QByteArray body, bool ok)>;

    static Fetcher& instance();

    void setLimits(const FetchLimits& limits);
    FetchLimits limits() const;

    // Starts a GET of `url`. `done` runs later on this thread, never inside this call: with the
    // body and true when a reply came (whatever its status), with an empty body and false on any
    // failure. The body is handed over, so `done` can free it as soon as it has read it. Returns
    // an id for cancel().
    quint64 get(const QString& url, Done done);
    // Ends a fetch; its `done` is not called. Unknown or finished ids are ignored.
    void cancel(quint64 id);
    int running() const;

    ~Fetcher() override;

Q_SIGNALS:
    // A fetch has ended (the same outcome `done` is about to be given); for timing and tracing.
    void arrived(quint64 id, bool ok);

private:
    Fetcher();
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Fetches `URL` and hands `done` the body decoded in `encoding`, or the empty text for every
// failure and for an empty body. `done` is called later on the caller's thread, and not at all
// once `context` is destroyed. Returns an id that Fetcher::cancel() takes.
quint64 GetResponse(const QString& URL, const QString& encoding, QObject* context,
                    std::function<void(const QString&)> done);

// The same fetch, handing `done` the decoded text as UTF-8 bytes (EncodingConvertorUtf8): for
// callers that only search a page with patterns, so that a large page is never made UTF-16.
quint64 GetResponseUtf8(const QString& URL, const QString& encoding, QObject* context,
                        std::function<void(const QByteArray&)> done);

} // namespace webkit
