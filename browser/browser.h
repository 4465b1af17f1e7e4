#pragma once

#include <QObject>
#include <QPointer>
#include <QWebEnginePage>

class QUrl;
class QWebEngineDownloadRequest;
class QWebEngineView;

namespace browser {

class FullScreen;

// The page the windows' browsers show. Script dialogs (alert, confirm, prompt) come up over the
// page's window with the page's text as it stands, the program's name as title.
class Page : public QWebEnginePage {
    Q_OBJECT
public:
    explicit Page(QObject* parent);

protected:
    // An alert holds nothing up: the page goes on while it shows.
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    // The engine wants these answers before it returns to the page, so the dialogs are modal.
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                          const QString& defaultValue, QString* result) override;

private:
    QWidget* window() const;
};

// Gives one browser view what a browser does on its own and QtWebEngine leaves to its host:
// - new windows (target="_blank", a middle-click or Ctrl+click, window.open from a click) open
//   in the desktop's browser, for http and https only; other schemes, and pop-ups a page opens
//   without a click, are dropped. The view keeps its page.
// - a page's request for full screen shows the window full screen with only the view in it;
//   Esc or the page's own exit puts the window back as it was. Optionally F11 toggles it.
// - a download asks where to save, shows its progress and says when it failed;
// - a site or proxy that asks for sign-in gets a dialog for user name and password;
// - script dialogs (see Page);
// and keeps the browser's own back/forward/home/reload keys and mouse buttons off, while every
// key that edits text still reaches the page.
// The view's page is replaced by a Page when the Browser is made: make it before anything else
// uses the view's page.
class Browser : public QObject {
    Q_OBJECT
public:
    struct Options {
        // F11 shows the window full screen with only the browser, and back.
        bool fullScreenKey = false;
    };

    explicit Browser(QWebEngineView* view, Options options);
    explicit Browser(QWebEngineView* view) : Browser(view, Options{}) {}
    ~Browser() override;

    // Whether an address may go to the desktop's browser: http and https only.
    static bool opensInDesktop(const QUrl& url);

    bool isFullScreen() const;
    // Full screen with only the browser, or back; a page that is itself full screen leaves it.
    void setFullScreen(bool on);

Q_SIGNALS:
    void fullScreenChanged(bool on);
    // A download has ended: saved at `path`, or not saved (cancelled or failed, path empty).
    void downloadEnded(bool saved, const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void download(QWebEngineDownloadRequest* request);
    bool inView(QObject* watched) const;

    QPointer<QWebEngineView> view_;
    Options options_;
    FullScreen* fullScreen_;
    bool pageFullScreen_ = false;
};

} // namespace browser
