#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

class QAuthenticator;
class QDialog;
class QUrl;
class QWebEnginePage;
class QWidget;

namespace browser {

// Answers a page's sign-in requests, from a site (401) or a proxy (407), with a dialog for user
// name and password. The engine wants the answer before its signal returns; rather than hold
// the window up, the request is refused at once and the dialog asked, and with an answer the
// page loads again: the next request for the same place and realm takes it, once. A wrong
// answer therefore brings the dialog back; cancelling leaves the page the site sent.
class SignIn : public QObject {
    Q_OBJECT
public:
    SignIn(QWebEnginePage* page, QWidget* view);

    // The place a request is for: the proxy, or the site's scheme, host and port, and the realm.
    static QString placeOf(const QUrl& url, const QString& realm, const QString& proxyHost);

private:
    void required(const QUrl& url, QAuthenticator* authenticator, const QString& proxyHost);
    void ask(const QString& place, const QString& text);

    struct Answer {
        QString user;
        QString password;
    };
    QPointer<QWebEnginePage> page_;
    QPointer<QWidget> view_;
    QHash<QString, Answer> answers_;
    QPointer<QDialog> asking_;
    bool loading_ = false;
    bool reloadWanted_ = false;
};

} // namespace browser
