#include "browser/recovery.h"

#include <QCoreApplication>
#include <QTimer>
#include <QWebEngineNavigationRequest>

#include <cstdio>

namespace browser {

RecoveryPolicy::RecoveryPolicy(Clock clock) {
    setClock(std::move(clock));
}

void RecoveryPolicy::setClock(Clock clock) {
    clock_ = app::clockOrSteady(std::move(clock));
    reloaded_ = false;
    givenUp_ = false;
}

RecoveryPolicy::Step RecoveryPolicy::ended(bool normal) {
    // While the notice shows, its own process may end too; the notice is all there is to show.
    if (normal || givenUp_)
        return Step::Ignore;
    const qint64 now = clock_();
    if (reloaded_ && now - reloadedAt_ < kQuietMs) {
        givenUp_ = true;
        return Step::GiveUp;
    }
    reloaded_ = true;
    reloadedAt_ = now;
    return Step::Reload;
}

void RecoveryPolicy::retried() {
    givenUp_ = false;
    reloaded_ = true;
    reloadedAt_ = clock_();
}

void RecoveryPolicy::movedOn() {
    givenUp_ = false;
}

Recovery::Recovery(QWebEnginePage* page, Reload reload, QObject* parent)
    : QObject(parent), page_(page), reload_(std::move(reload)) {
    connect(page, &QWebEnginePage::renderProcessTerminated, this, &Recovery::ended);
    connect(page, &QWebEnginePage::navigationRequested, this, &Recovery::navigation);
}

QUrl Recovery::retryAddress() {
    // A host that can never resolve: should the request get past us, it goes nowhere.
    return QUrl(QStringLiteral("http://retry.invalid/"));
}

QString Recovery::noticeHtml() {
    return QStringLiteral("<!DOCTYPE html><html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
                          "<title>页面已停止运行</title></head>"
                          "<body style=\"font: 16px sans-serif; margin: 32px\">"
                          "<p>页面已停止运行。<a id=\"retry\" href=\"%1\">重试</a></p>"
                          "</body></html>")
        .arg(retryAddress().toString());
}

void Recovery::ended(QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
    if (!page_)
        return;
    const RecoveryPolicy::Step step =
        policy_.ended(status == QWebEnginePage::NormalTerminationStatus);
    if (step == RecoveryPolicy::Step::Ignore)
        return;
    // What the page showed; a page of the window's own making (data) leaves the last address.
    if (const QUrl url = page_->url(); !url.isEmpty() && url.scheme() != QLatin1String("data"))
        shown_ = url;
    switch (step) {
    case RecoveryPolicy::Step::Ignore:
        return;
    case RecoveryPolicy::Step::Reload:
        // The engine is still telling of the end; the page is loaded again once it has.
        QTimer::singleShot(0, this, &Recovery::reload);
        return;
    case RecoveryPolicy::Step::GiveUp:
        std::fprintf(stderr,
                     "%s: the page process ended again (status %d, code %d) within %lld s of "
                     "being restarted; showing a notice instead of %s\n",
                     qPrintable(QCoreApplication::applicationName()), int(status), exitCode,
                     static_cast<long long>(RecoveryPolicy::kQuietMs / 1000),
                     shown_.toString(QUrl::FullyEncoded).toUtf8().left(200).constData());
        std::fflush(stderr);
        QTimer::singleShot(0, this, [this] {
            if (page_ && policy_.givenUp())
                // On the site of the page it stands for: the engine then keeps the retry in
                // the notice's page process, which has the page's scripts. A new page process
                // for it can start its first document before those scripts reach it.
                page_->setHtml(noticeHtml(), shown_);
        });
        Q_EMIT gaveUp();
        return;
    }
}

void Recovery::navigation(QWebEngineNavigationRequest& request) {
    if (!request.isMainFrame())
        return;
    if (request.url() == retryAddress()) {
        request.reject();
        if (policy_.givenUp()) {
            policy_.retried();
            // Not from inside the engine's own handling of the rejected navigation: a load
            // started there can lose the page's scripts.
            QTimer::singleShot(0, this, &Recovery::reload);
        }
        return;
    }
    // The notice and the player's own pages are loaded as data; anything else leaves the notice.
    if (policy_.givenUp() && request.url().scheme() != QLatin1String("data"))
        policy_.movedOn();
}

void Recovery::reload() {
    if (!page_)
        return;
    Q_EMIT reloading();
    if (reload_)
        reload_(shown_);
}

} // namespace browser
