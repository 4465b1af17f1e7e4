#include "player/addresswatch.h"

#include "vendor/hosts.h"

namespace lumetta {

namespace {
const QString kMarker = QStringLiteral("okok=");
} // namespace

const QString kLoadingPath = QStringLiteral("/loading/index.html?v=1");
const QString kLinkPagePath = QStringLiteral("/y/index.php");
const QString kLinkReadyPath = QStringLiteral("/y/index2.html");
const QString kErrorPagePath = QStringLiteral("/y/er.html");

QString vendorSiteHost() {
    return QStringLiteral(CORVALE_SITE_HOST);
}

QString vendorSiteBase() {
    return QStringLiteral("http://") + vendorSiteHost();
}

StartMode classifyCommandLine(const QString& commandLine) {
    if (commandLine.isEmpty())
        return StartMode::LinkPage;
    if (commandLine == QLatin1String("qd"))
        return StartMode::LinkPage;
    return StartMode::Link;
}

QString commandLineFrom(const QStringList& argumentsAfterProgram) {
    return argumentsAfterProgram.join(QLatin1Char(' '));
}

AddressWatch::AddressWatch(QString qjym) : prefix_(std::move(qjym) + kLinkReadyPath) {}

bool AddressWatch::isLinkReady(const QString& address) const {
    return address.size() >= prefix_.size() &&
           QStringView(address).left(prefix_.size()) == QStringView(prefix_);
}

std::optional<QString> AddressWatch::linkIn(const QString& address) {
    const qsizetype first = address.indexOf(kMarker);
    if (first < 0)
        return std::nullopt;
    const qsizetype start = first + kMarker.size();
    const qsizetype second = address.indexOf(kMarker, start);
    return address.mid(start, second < 0 ? -1 : second - start);
}

AddressWatch::Result AddressWatch::watch(const QString& address) {
    if (stopped_)
        return {Verdict::Stopped, {}};
    if (!isLinkReady(address))
        return {Verdict::Wait, {}};
    stopped_ = true;
    // An address without any marker hands over nothing: the same as a link too short to play.
    const std::optional<QString> link = linkIn(address);
    if (!link || link->size() <= kShortestUnplayable)
        return {Verdict::ErrorPage, {}};
    return {Verdict::Resolve, *link};
}

} // namespace lumetta
