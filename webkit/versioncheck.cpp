#include "webkit/versioncheck.h"

#include "webkit/fetch.h"

#include "vendor/hosts.h"

#include <QUrl>

#include <cmath>
#include <limits>

namespace webkit {

namespace {
const QString kCharset = QStringLiteral("gbk");
constexpr double kOwnVersion = 1;
} // namespace

VersionCheck::VersionCheck(Variant variant, QObject* parent) : QObject(parent), variant_(variant) {
    // The portal host; the player's base keeps a trailing slash, so its file paths begin with
    // two.
    base_ = variant == Variant::Player ? QStringLiteral("http://" CORVALE_PORTAL_HOST "/")
                                       : QStringLiteral("http://" CORVALE_PORTAL_HOST);
}

QString VersionCheck::versionUrl() const {
    return base_ +
           (variant_ == Variant::Player ? QStringLiteral("/yun.txt") : QStringLiteral("/d.txt"));
}

QString VersionCheck::downloadUrl() const {
    return base_ +
           (variant_ == Variant::Player ? QStringLiteral("/yunup.txt") : QStringLiteral("/up.txt"));
}

void VersionCheck::pdup() {
    GetResponse(versionUrl(), kCharset, this, [this](const QString& first) {
        // A text of three characters or more is never a version number here.
        if (first.size() >= 3) {
            Q_EMIT finished();
            return;
        }
        secondFetch();
    });
}

void VersionCheck::secondFetch() {
    GetResponse(versionUrl(), kCharset, this, [this](const QString& second) {
        if (!announces(second, variant_)) {
            Q_EMIT finished();
            return;
        }
        downloadFetch();
    });
}

void VersionCheck::downloadFetch() {
    GetResponse(downloadUrl(), kCharset, this, [this](const QString& download) {
        Q_EMIT newVersion(download);
        Q_EMIT finished();
    });
}

bool VersionCheck::announces(const QString& text, Variant variant) {
    bool ok = false;
    // Plain decimal notation: optional blanks and sign, digits, a "." fraction, an exponent.
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return false;
    const double whole = std::floor(value);
    // The portal reads a 16-bit number: a larger one is no version. (One below its range is
    // below our own version anyway.)
    if (variant == Variant::Portal && whole > std::numeric_limits<qint16>::max())
        return false;
    return whole > kOwnVersion;
}

QUrl VersionCheck::downloadAddress(const QString& downloadText) {
    // A line break, a tab or any other control character makes the text no address: it could
    // only be a broken file or an attempt to smuggle something past the desktop's handler.
    for (const QChar c : downloadText)
        if (c.category() == QChar::Other_Control)
            return {};
    const QUrl url(downloadText, QUrl::TolerantMode);
    if (!url.isValid() || url.host().isEmpty())
        return {};
    const QString scheme = url.scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return {};
    return url;
}

} // namespace webkit
