#include "player/pellion.h"

#include "browser/browser.h"
#include "browser/messages.h"
#include "browser/recovery.h"
#include "player/playresolver.h"
#include "webkit/versioncheck.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaEnum>
#include <QResizeEvent>
#include <QTimer>
#include <QUrl>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <cstdio>

namespace lumetta {

namespace {

// Design geometry is in twips.
int pixels(double twips) {
    return browser::twipsToPixels(twips);
}

constexpr float kClientWidth = 14520, kClientHeight = 8010;
constexpr float kBrowserWidth = 7455, kBrowserHeight = 4215;
// The browser reaches this far past the window's right edge.
constexpr float kBrowserOverhang = 280;

// How the load trace names a load's state.
const char* loadStatusWord(QWebEngineLoadingInfo::LoadStatus status) {
    switch (status) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        return "started";
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        return "stopped";
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        return "loaded";
    case QWebEngineLoadingInfo::LoadFailedStatus:
        return "failed";
    }
    return "?";
}

} // namespace

pellion::pellion(QString commandLine, QWidget* parent)
    : QWidget(parent), commandLine_(std::move(commandLine)), watch_(vendorSiteBase()) {
    setObjectName(QStringLiteral("pellion"));
    setWindowTitle(QStringLiteral("Miravendv1.2  最好的的极速云点播软件  官网：") +
                   vendorSiteHost());
    resize(pixels(kClientWidth), pixels(kClientHeight));

    Timer1_ = new QTimer(this);
    Timer1_->setObjectName(QStringLiteral("Timer1"));
    Timer1_->setInterval(1000);
    connect(Timer1_, &QTimer::timeout, this, &pellion::Timer1_Timer);

    createBrowser();

    resolver_ = new PlayResolver(this);
    connect(resolver_, &PlayResolver::resolved, this, &pellion::openPlayAddress);
    connect(resolver_, &PlayResolver::failed, this, [this] { showErrorPage(); });

    trace_ = qEnvironmentVariableIntValue("LUMETTA_TRACE") == 1;
    if (trace_)
        traceLoads();
}

void pellion::createBrowser() {
    WebBrowser1_ = new QWebEngineView(this);
    WebBrowser1_->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1_->setGeometry(0, 0, pixels(kBrowserWidth), pixels(kBrowserHeight));
    browser_ = new browser::Browser(WebBrowser1_, {.fullScreenKey = true});

    // The user started the player to watch: a play page's video starts as soon as it can, with
    // or without sound. Left to the browser's default, a video may start only after a user
    // gesture, and a muted one waits until the browser has drawn it inside the view, which on
    // a busy machine or at the very first start of the renderer may take very long.
    WebBrowser1_->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);

    // The page's own location.href: QWebEngineView::url() re-escapes characters such as "|".
    readAddress_ = [page = QPointer<QWebEnginePage>(WebBrowser1_->page())](const Answer& answer) {
        if (page)
            page->runJavaScript(QStringLiteral("location.href"),
                                [answer](const QVariant& href) { answer(href.toString()); });
    };

    // A page whose process ended comes back: the film plays again, the link page is watched on.
    recovery_ = new browser::Recovery(
        WebBrowser1_->page(), [this](const QUrl& shown) { reloadShown(shown); }, this);
}

void pellion::traceLoads() {
    connect(WebBrowser1_->page(), &QWebEnginePage::loadingChanged, this,
            [](const QWebEngineLoadingInfo& info) {
                // The page that opens a play address is a data: address; its scheme says
                // enough.
                const QByteArray url = info.url().scheme() == QLatin1String("data")
                                           ? QByteArrayLiteral("data:")
                                           : info.url().toString(QUrl::FullyEncoded).toUtf8();
                std::fprintf(stderr, "%s %s\n", loadStatusWord(info.status()), url.constData());
                std::fflush(stderr);
            });
}

pellion::~pellion() = default;

void pellion::Form_Load() {
    if (loaded_)
        return;
    loaded_ = true;
    qjym_ = vendorSiteBase();
    navigate(qjym_ + kLoadingPath);
    setState(State::Loading);

    // The loading page stays while the check asks the vendor; the command line is handled
    // when it has finished, and after the user has closed an announcement.
    versionCheck_ = new webkit::VersionCheck(webkit::VersionCheck::Variant::Player, this);
    connect(versionCheck_, &webkit::VersionCheck::newVersion, this, &pellion::versionAnnounced);
    connect(versionCheck_, &webkit::VersionCheck::finished, this, &pellion::versionCheckDone);
    versionCheck_->pdup();
}

void pellion::versionAnnounced(const QString& downloadText) {
    announcement_ =
        browser::announceNewVersion(downloadText, this, [this] { startFromCommandLine(); });
}

void pellion::versionCheckDone() {
    versionCheck_->deleteLater();
    versionCheck_ = nullptr;
    // With an announcement open, start-up goes on once the user has closed it.
    if (!announcement_)
        startFromCommandLine();
}

void pellion::startFromCommandLine() {
    if (classifyCommandLine(commandLine_) == StartMode::Link) {
        dqbfdz(commandLine_);
        return;
    }
    navigate(qjym_ + kLinkPagePath);
    setState(State::Waiting);
    Timer1_->start();
}

void pellion::Timer1_Timer() {
    // One look at a time: the address comes back from the page later, and a tick while a
    // resolution runs finds the watch already ended. A look the page never answers (it may be
    // lost while the page changes) is given up after a few ticks.
    if (watch_.stopped())
        return;
    if (addressPending_ && ++ticksUnanswered_ < kTicksBeforeAskingAgain)
        return;
    addressPending_ = true;
    ticksUnanswered_ = 0;
    const quint64 look = ++addressLook_;
    const QPointer<pellion> self(this);
    readAddress_([self, look](const QString& address) {
        if (!self || look != self->addressLook_)
            return;
        self->addressPending_ = false;
        self->watchAddress(address);
    });
}

void pellion::watchAddress(const QString& address) {
    const AddressWatch::Result result = watch_.watch(address);
    switch (result.verdict) {
    case AddressWatch::Verdict::Wait:
    case AddressWatch::Verdict::Stopped:
        return;
    case AddressWatch::Verdict::Resolve:
        dqbfdz(result.link);
        break;
    case AddressWatch::Verdict::ErrorPage:
        showErrorPage();
        break;
    }
    Timer1_->stop();
}

void pellion::dqbfdz(const QString& bfdz) {
    setState(State::Resolving);
    resolver_->dqbfdz(bfdz);
}

void pellion::openPlayAddress(const QString& playAddress, const QString& requestAddress) {
    playAddress_ = playAddress;
    requestAddress_ = requestAddress;
    showPlayPage();
    setState(State::Playing);
    Q_EMIT playOpened(playAddress, requestAddress);
}

void pellion::showPlayPage() {
    // A browser request header named Referer is dropped by QtWebEngine, so the play page is
    // opened from a page that stands at the request address itself.
    WebBrowser1_->page()->setHtml(refererBootstrapHtml(playAddress_, requestAddress_),
                                 playApiOrigin());
}

void pellion::reloadShown(const QUrl& shown) {
    // Playing, the play page is opened as the first time, with the same Referer; whatever page
    // the user had gone to from it, the film is what the window is for.
    if (state_ == State::Playing) {
        showPlayPage();
        return;
    }
    // Otherwise the page it showed, which the timer goes on watching while the link page is
    // out; without an address of its own, the page of the state it is in.
    if (!shown.isEmpty() && shown.scheme() != QLatin1String("data")) {
        WebBrowser1_->load(shown);
        return;
    }
    switch (state_) {
    case State::Waiting:
        navigate(qjym_ + kLinkPagePath);
        break;
    case State::ErrorPage:
        navigate(qjym_ + kErrorPagePath);
        break;
    default:
        navigate(qjym_ + kLoadingPath);
        break;
    }
}

void pellion::showErrorPage() {
    navigate(qjym_ + kErrorPagePath);
    setState(State::ErrorPage);
}

void pellion::navigate(const QString& address) {
    WebBrowser1_->load(QUrl(address));
}

void pellion::setState(State state) {
    state_ = state;
    if (trace_) {
        const char* name = QMetaEnum::fromType<State>().valueToKey(int(state));
        std::fprintf(stderr, "state %s\n", name ? name : "?");
        std::fflush(stderr);
    }
    Q_EMIT stateChanged(state);
}

void pellion::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void pellion::Form_Resize() {
    // Each step stands alone; one that cannot apply (a minimised or empty window) is skipped.
    WebBrowser1_->move(0, WebBrowser1_->y());
    const bool minimised = isMinimized();
    const int innerWidth = width(), innerHeight = height();
    if (!minimised && innerWidth > 0)
        WebBrowser1_->resize(pixels(browser::pixelsToTwips(innerWidth) + kBrowserOverhang),
                            WebBrowser1_->height());
    if (!minimised && innerHeight > 0)
        WebBrowser1_->resize(WebBrowser1_->width(), innerHeight);
}

} // namespace lumetta
