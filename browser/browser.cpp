#include "browser/browser.h"

#include "browser/downloads.h"
#include "browser/fullscreen.h"
#include "browser/messages.h"
#include "browser/navigationkeys.h"
#include "browser/signin.h"

#include <QApplication>
#include <QDesktopServices>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QWebEngineDownloadRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace browser {

Page::Page(QObject* parent) : QWebEnginePage(parent) {}

QWidget* Page::window() const {
    QWebEngineView* view = QWebEngineView::forPage(this);
    return view ? view->window() : nullptr;
}

void Page::javaScriptAlert(const QUrl&, const QString& msg) {
    QMessageBox* box = messageBox(msg, window());
    box->setWindowModality(Qt::WindowModal);
    box->open();
}

bool Page::javaScriptConfirm(const QUrl&, const QString& msg) {
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), msg,
                    QMessageBox::Ok | QMessageBox::Cancel, window());
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::WindowModal);
    return box.exec() == QMessageBox::Ok;
}

bool Page::javaScriptPrompt(const QUrl&, const QString& msg, const QString& defaultValue,
                            QString* result) {
    QInputDialog dialog(window());
    dialog.setWindowTitle(QCoreApplication::applicationName());
    dialog.setLabelText(msg);
    dialog.setTextValue(defaultValue);
    dialog.setWindowModality(Qt::WindowModal);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *result = dialog.textValue();
    return true;
}

Browser::Browser(QWebEngineView* view, Options options)
    : QObject(view), view_(view), options_(options), fullScreen_(new FullScreen(view, this)) {
    auto* page = new Page(view);
    view->setPage(page);
    page->settings()->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);

    connect(page, &QWebEnginePage::newWindowRequested, this,
            [](QWebEngineNewWindowRequest& request) {
                // Not taking the request drops the new window; the page stays as it is.
                if (request.isUserInitiated() && opensInDesktop(request.requestedUrl()))
                    QDesktopServices::openUrl(request.requestedUrl());
            });

    connect(page, &QWebEnginePage::fullScreenRequested, this,
            [this](QWebEngineFullScreenRequest request) {
                if (request.toggleOn() && !view_->isVisible()) {
                    request.reject();
                    return;
                }
                request.accept();
                pageFullScreen_ = request.toggleOn();
                if (request.toggleOn())
                    fullScreen_->enter();
                else
                    fullScreen_->leave();
            });
    connect(fullScreen_, &FullScreen::changed, this, &Browser::fullScreenChanged);

    new SignIn(page, view);
    connect(page->profile(), &QWebEngineProfile::downloadRequested, this, &Browser::download);

    // The widget that takes the page's input is made and replaced by the engine as pages come
    // and go, so keys are caught on their way to any widget inside the view.
    qApp->installEventFilter(this);
}

Browser::~Browser() = default;

bool Browser::opensInDesktop(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

bool Browser::isFullScreen() const {
    return fullScreen_->isActive();
}

void Browser::setFullScreen(bool on) {
    if (!on && pageFullScreen_) {
        // The page leaves its own full screen and then asks for the window back.
        view_->page()->triggerAction(QWebEnginePage::ExitFullScreen);
        return;
    }
    if (on)
        fullScreen_->enter();
    else
        fullScreen_->leave();
}

void Browser::download(QWebEngineDownloadRequest* request) {
    if (!view_ || request->page() != view_->page() ||
        request->state() != QWebEngineDownloadRequest::DownloadRequested)
        return;
    // A download that the engine resumes after a break is asked for once more.
    for (Download* d : findChildren<Download*>(Qt::FindDirectChildrenOnly)) {
        if (d->id() == request->id()) {
            d->adopt(request);
            return;
        }
    }
    auto* d = new Download(request, view_->window(), this);
    connect(d, &Download::ended, this, &Browser::downloadEnded);
}

bool Browser::inView(QObject* watched) const {
    if (!view_ || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    return widget == view_ || view_->isAncestorOf(widget);
}

bool Browser::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress &&
        type != QEvent::KeyRelease && type != QEvent::MouseButtonPress &&
        type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick)
        return false;
    if (!inView(watched))
        return false;
    if (isNavigationShortcut(event)) {
        // Accepting the override keeps any shortcut of the window from taking the key; the
        // key itself then never reaches the page's widget.
        if (type == QEvent::ShortcutOverride)
            event->accept();
        return true;
    }
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier |
                            Qt::MetaModifier))
        return false;
    const bool leave = key->key() == Qt::Key_Escape && isFullScreen();
    const bool toggle = key->key() == Qt::Key_F11 && options_.fullScreenKey;
    if (!leave && !toggle)
        return false;
    if (type == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    if (!key->isAutoRepeat())
        setFullScreen(!isFullScreen());
    return true;
}

} // namespace browser
