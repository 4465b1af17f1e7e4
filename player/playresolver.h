// Play-address resolution: asks the play API for a link's play address.
#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QUrl>

#include <string_view>

namespace lumetta {

// The play API's address up to the encoded link, host included.
extern const QString kPlayApiPrefix;

class PlayResolver : public QObject {
    Q_OBJECT
public:
    explicit PlayResolver(QObject* parent = nullptr);
    ~PlayResolver() override;

    // The play API request for a link: the prefix followed by the link encoded with the
    // player's URLEncode (only ASCII letters pass unchanged).
    static QString requestAddress(const QString& link);
    // The first play address in an API reply, or the empty text.
    static QString playAddressIn(const QString& reply);

    // The play address in the play API's reply, in RE2 syntax: "\h", which RE2 reads
    // differently, is a plain letter.
    static constexpr std::string_view kPlayAddressPattern =
        R"(http\:\/\/\w+\.\w+\.\w+\/high\.\w+\?\w\x3d\w+)";

    // Starts resolving `bfdz`. Returns at once; resolved() or failed() follows on the event
    // loop, once per call.
    void dqbfdz(const QString& bfdz);
    bool busy() const { return !running_.isEmpty(); }

Q_SIGNALS:
    void resolved(const QString& playAddress, const QString& requestAddress);
    // The reply held no play address, or the request failed.
    void failed(const QString& requestAddress);

private:
    QSet<quint64> running_;
};

// The origin that the page opening a play address pretends to be loaded from.
QUrl playApiOrigin();

// A page, to be loaded with playApiOrigin() as its base address, that opens `playAddress`
// with exactly `requestAddress` as the Referer: it takes the request address as its own with
// history.replaceState, asks for the full address to be sent as Referer, then replaces itself
// with the play page.
QString refererBootstrapHtml(const QString& playAddress, const QString& requestAddress);

} // namespace lumetta
