#include "webkit/fetch.h"

#include "webkit/charset.h"

#include <QSocketNotifier>
#include <QTimer>

#include <curl/curl.h>

#include <algorithm>
#include <map>
#include <unordered_map>
#include <vector>

namespace webkit {

QByteArray requestTarget(const QString& url) {
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray utf8 = url.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    for (char ch : utf8) {
        const uchar b = uchar(ch);
        if (b <= 0x20 || b == 0x7F || b >= 0x80) {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 0xF];
        } else {
            out += ch;
        }
    }
    return out;
}

struct Fetcher::Impl {
    struct Transfer {
        quint64 id = 0;
        CURL* easy = nullptr;
        QByteArray target;
        QByteArray body;
        qint64 maxBody = 0;
        Done done;
    };
    struct Socket {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
    };

    Fetcher* q = nullptr;
    CURLM* multi = nullptr;
    QTimer timer;
    FetchLimits limits;
    quint64 nextId = 1;
    std::map<quint64, std::unique_ptr<Transfer>> transfers;
    std::unordered_map<curl_socket_t, Socket> sockets;

    static size_t onData(char* data, size_t size, size_t count, void* user) {
        auto* t = static_cast<Transfer*>(user);
        const size_t n = size * count;
        if (t->body.size() + qint64(n) > t->maxBody)
            return 0; // ends the transfer with a write error
        if (t->body.isEmpty()) {
            // A body of announced length is received into one block, not grown step by step.
            curl_off_t length = -1;
            if (curl_easy_getinfo(t->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) ==
                    CURLE_OK &&
                length > 0)
                t->body.reserve(qsizetype(std::min<curl_off_t>(length, t->maxBody)));
        }
        t->body.append(data, qsizetype(n));
        return n;
    }

    static int onSocket(CURL*, curl_socket_t s, int what, void* user, void*) {
        static_cast<Impl*>(user)->watch(s, what);
        return 0;
    }

    static int onTimer(CURLM*, long timeoutMs, void* user) {
        auto* d = static_cast<Impl*>(user);
        if (timeoutMs < 0)
            d->timer.stop();
        else
            d->timer.start(int(std::min<long>(timeoutMs, 1 << 30)));
        return 0;
    }

    static void retire(QSocketNotifier*& n) {
        if (!n)
            return;
        n->setEnabled(false);
        n->deleteLater(); // it may be the notifier whose signal is being delivered
        n = nullptr;
    }

    QSocketNotifier* notifier(curl_socket_t s, QSocketNotifier::Type type, int event) {
        auto* n = new QSocketNotifier(s, type, q);
        QObject::connect(n, &QSocketNotifier::activated, q, [this, s, event] { act(s, event); });
        return n;
    }

    void watch(curl_socket_t s, int what) {
        Socket& sock = sockets[s];
        if (what == CURL_POLL_REMOVE) {
            retire(sock.read);
            retire(sock.write);
            sockets.erase(s);
            return;
        }
        const bool wantRead = what & CURL_POLL_IN;
        const bool wantWrite = what & CURL_POLL_OUT;
        if (wantRead && !sock.read)
            sock.read = notifier(s, QSocketNotifier::Read, CURL_CSELECT_IN);
        if (wantWrite && !sock.write)
            sock.write = notifier(s, QSocketNotifier::Write, CURL_CSELECT_OUT);
        if (sock.read)
            sock.read->setEnabled(wantRead);
        if (sock.write)
            sock.write->setEnabled(wantWrite);
    }

    void act(curl_socket_t s, int event) {
        int running = 0;
        curl_multi_socket_action(multi, s, event, &running);
        finish();
    }

    // Collects finished transfers first, then calls back: a callback may start or cancel fetches.
    void finish() {
        struct Result {
            quint64 id;
            Done done;
            QByteArray body;
            bool ok;
        };
        std::vector<Result> results;
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
            if (msg->msg != CURLMSG_DONE)
                continue;
            char* priv = nullptr;
            curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &priv);
            const quint64 id = quint64(reinterpret_cast<quintptr>(priv));
            const bool ok = msg->data.result == CURLE_OK;
            auto it = transfers.find(id);
            if (it == transfers.end())
                continue;
            std::unique_ptr<Transfer> t = std::move(it->second);
            transfers.erase(it);
            curl_multi_remove_handle(multi, t->easy);
            curl_easy_cleanup(t->easy);
            results.push_back({id, std::move(t->done), ok ? std::move(t->body) : QByteArray(), ok});
        }
        for (Result& r : results) {
            Q_EMIT q->arrived(r.id, r.ok);
            if (r.done)
                r.done(std::move(r.body), r.ok);
        }
    }

    bool configure(Transfer& t) {
        CURL* e = t.easy;
        bool ok = true;
        auto set = [&](CURLoption option, auto value) {
            ok = ok && curl_easy_setopt(e, option, value) == CURLE_OK;
        };
        set(CURLOPT_URL, t.target.constData());
        // The path goes out as built: "/./" and "/../" are the server's to read, not ours to fold.
        set(CURLOPT_PATH_AS_IS, 1L);
        set(CURLOPT_HTTPGET, 1L);
        set(CURLOPT_PROTOCOLS_STR, "http,https");
        set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        set(CURLOPT_FOLLOWLOCATION, 1L);
        set(CURLOPT_MAXREDIRS, long(limits.maxRedirects));
        set(CURLOPT_CONNECTTIMEOUT_MS, long(limits.connectTimeoutMs));
        set(CURLOPT_TIMEOUT_MS, long(limits.totalTimeoutMs));
        set(CURLOPT_LOW_SPEED_LIMIT, 1L);
        set(CURLOPT_LOW_SPEED_TIME, long(limits.stallTimeoutS));
        set(CURLOPT_MAXFILESIZE_LARGE, curl_off_t(limits.maxBodyBytes));
        set(CURLOPT_NOSIGNAL, 1L);
        set(CURLOPT_ACCEPT_ENCODING, "");
        set(CURLOPT_USERAGENT, "Mozilla/5.0 (X11; Linux x86_64)");
        set(CURLOPT_WRITEFUNCTION, &Impl::onData);
        set(CURLOPT_WRITEDATA, static_cast<void*>(&t));
        set(CURLOPT_PRIVATE, reinterpret_cast<char*>(quintptr(t.id)));
        return ok;
    }
};

Fetcher& Fetcher::instance() {
    static Fetcher* fetcher = new Fetcher; // lives as long as the program
    return *fetcher;
}

Fetcher::Fetcher() : d(std::make_unique<Impl>()) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    d->q = this;
    d->multi = curl_multi_init();
    d->timer.setSingleShot(true);
    connect(&d->timer, &QTimer::timeout, this, [this] { d->act(CURL_SOCKET_TIMEOUT, 0); });
    curl_multi_setopt(d->multi, CURLMOPT_SOCKETFUNCTION, &Impl::onSocket);
    curl_multi_setopt(d->multi, CURLMOPT_SOCKETDATA, d.get());
    curl_multi_setopt(d->multi, CURLMOPT_TIMERFUNCTION, &Impl::onTimer);
    curl_multi_setopt(d->multi, CURLMOPT_TIMERDATA, d.get());
}

Fetcher::~Fetcher() {
    for (auto& [id, t] : d->transfers) {
        if (t->easy) {
            curl_multi_remove_handle(d->multi, t->easy);
            curl_easy_cleanup(t->easy);
        }
    }
    curl_multi_cleanup(d->multi);
}

void Fetcher::setLimits(const FetchLimits& limits) {
    d->limits = limits;
}
FetchLimits Fetcher::limits() const {
    return d->limits;
}
int Fetcher::running() const {
    return int(d->transfers.size());
}

quint64 Fetcher::get(const QString& url, Done done) {
    auto t = std::make_unique<Impl::Transfer>();
    t->id = d->nextId++;
    t->target = requestTarget(url);
    t->maxBody = d->limits.maxBodyBytes;
    t->done = std::move(done);
    t->easy = curl_easy_init();
    const quint64 id = t->id;
    bool started = t->easy && d->configure(*t);
    if (started)
        started = curl_multi_add_handle(d->multi, t->easy) == CURLM_OK;
    if (!started && t->easy) {
        curl_easy_cleanup(t->easy);
        t->easy = nullptr;
    }
    d->transfers.emplace(id, std::move(t));
    if (!started) {
        // Report the failure from the event loop, as every other outcome is reported.
        QMetaObject::invokeMethod(
            this,
            [this, id] {
                auto it = d->transfers.find(id);
                if (it == d->transfers.end())
                    return;
                Done cb = std::move(it->second->done);
                d->transfers.erase(it);
                Q_EMIT arrived(id, false);
                if (cb)
                    cb({}, false);
            },
            Qt::QueuedConnection);
    }
    return id;
}

void Fetcher::cancel(quint64 id) {
    auto it = d->transfers.find(id);
    if (it == d->transfers.end())
        return;
    std::unique_ptr<Impl::Transfer> t = std::move(it->second);
    d->transfers.erase(it);
    if (t->easy) {
        curl_multi_remove_handle(d->multi, t->easy);
        curl_easy_cleanup(t->easy);
    }
}

namespace {

// A fetch whose body `decode` turns into what `done` takes; an empty body is handed on empty,
// without decoding. Nothing is handed on once `context` is destroyed.
template <typename Text>
quint64 fetchDecoded(const QString& URL, const QString& encoding, QObject* context,
                     Text (*decode)(const QByteArray&, const QString&),
                     std::function<void(const Text&)> done) {
    QPointer<QObject> guard(context);
    const bool guarded = context != nullptr;
    return Fetcher::instance().get(
        URL, [guard, guarded, encoding, decode, done = std::move(done)](QByteArray body, bool) {
            if (guarded && !guard)
                return;
            const Text text = body.isEmpty() ? Text() : decode(body, encoding);
            // The body goes before the text is handed on: what `done` makes takes over its memory.
            body = QByteArray();
            done(text);
        });
}

} // namespace

quint64 GetResponse(const QString& URL, const QString& encoding, QObject* context,
                    std::function<void(const QString&)> done) {
    return fetchDecoded(URL, encoding, context, &EncodingConvertor, std::move(done));
}

quint64 GetResponseUtf8(const QString& URL, const QString& encoding, QObject* context,
                        std::function<void(const QByteArray&)> done) {
    return fetchDecoded(URL, encoding, context, &EncodingConvertorUtf8, std::move(done));
}

} // namespace webkit
