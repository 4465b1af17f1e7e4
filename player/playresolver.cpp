#include "player/playresolver.h"

#include "webkit/fetch.h"
#include "webkit/patterns.h"
#include "webkit/urlencode.h"

#include "vendor/hosts.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace lumetta {

const QString kPlayApiPrefix =
    QStringLiteral("http://" CORVALE_API_HOST "/playapi.php?method=high&u=");

PlayResolver::PlayResolver(QObject* parent) : QObject(parent) {}

PlayResolver::~PlayResolver() {
    for (quint64 id : std::as_const(running_))
        webkit::Fetcher::instance().cancel(id);
}

QString PlayResolver::requestAddress(const QString& link) {
    return kPlayApiPrefix + webkit::player::URLEncode(link);
}

QString PlayResolver::playAddressIn(const QString& reply) {
    static const webkit::Pattern pattern(kPlayAddressPattern);
    return pattern.firstMatch(reply);
}

void PlayResolver::dqbfdz(const QString& bfdz) {
    const QString request = requestAddress(bfdz);
    // The id is known only once GetResponse returns; the reply always comes later than that.
    auto id = std::make_shared<quint64>(0);
    *id = webkit::GetResponse(request, QStringLiteral("utf-8"), this,
                              [this, request, id](const QString& reply) {
                                  running_.remove(*id);
                                  const QString play = playAddressIn(reply);
                                  if (play.isEmpty())
                                      Q_EMIT failed(request);
                                  else
                                      Q_EMIT resolved(play, request);
                              });
    running_.insert(*id);
}

QUrl playApiOrigin() {
    return QUrl(QStringLiteral("http://" CORVALE_API_HOST "/"));
}

QString refererBootstrapHtml(const QString& playAddress, const QString& requestAddress) {
    // Both addresses go into the script as JSON strings; "<" is escaped as well so that no
    // text can close the script element.
    QString args = QString::fromUtf8(
        QJsonDocument(QJsonArray{requestAddress, playAddress}).toJson(QJsonDocument::Compact));
    args.replace(QLatin1Char('<'), QLatin1String("\\u003c"));
    return QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                          "<meta name=\"referrer\" content=\"unsafe-url\"></head><body><script>"
                          "(function(a){try{history.replaceState(null,\"\",a[0]);}catch(e){}"
                          "location.replace(a[1]);})(") +
           args + QStringLiteral(");</script></body></html>");
}

} // namespace lumetta
