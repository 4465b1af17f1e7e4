#include "browser/signin.h"

#include <QAuthenticator>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QUrl>
#include <QWebEnginePage>
#include <QWidget>

namespace browser {

SignIn::SignIn(QWebEnginePage* page, QWidget* view) : QObject(page), page_(page), view_(view) {
    connect(page, &QWebEnginePage::authenticationRequired, this,
            [this](const QUrl& url, QAuthenticator* authenticator) {
                required(url, authenticator, QString());
            });
    connect(page, &QWebEnginePage::proxyAuthenticationRequired, this, &SignIn::required);
    // The refused load is still ending when the dialog may already be answered; loading again
    // before it has ended would load the page before it.
    connect(page, &QWebEnginePage::loadStarted, this, [this] { loading_ = true; });
    connect(page, &QWebEnginePage::loadFinished, this, [this] {
        loading_ = false;
        if (reloadWanted_ && page_) {
            reloadWanted_ = false;
            page_->triggerAction(QWebEnginePage::Reload);
        }
    });
}

QString SignIn::placeOf(const QUrl& url, const QString& realm, const QString& proxyHost) {
    const QString where =
        proxyHost.isEmpty()
            ? url.scheme() + QStringLiteral("://") + url.host() + QLatin1Char(':') +
                  QString::number(url.port(url.scheme() == QLatin1String("https") ? 443 : 80))
            : QStringLiteral("proxy ") + proxyHost;
    return where + QLatin1Char(' ') + realm;
}

void SignIn::required(const QUrl& url, QAuthenticator* authenticator, const QString& proxyHost) {
    const QString place = placeOf(url, authenticator->realm(), proxyHost);
    const auto answer = answers_.constFind(place);
    if (answer != answers_.constEnd()) {
        authenticator->setUser(answer->user);
        authenticator->setPassword(answer->password);
        answers_.erase(answer);
        return;
    }
    const QString realm = authenticator->realm();
    // A null authenticator refuses the request; the page shows what the site sent meanwhile.
    *authenticator = QAuthenticator();
    ask(place, proxyHost.isEmpty()
                   ? QStringLiteral("%1 要求登录（%2）").arg(url.host(), realm)
                   : QStringLiteral("代理服务器 %1 要求登录（%2）").arg(proxyHost, realm));
}

void SignIn::ask(const QString& place, const QString& text) {
    if (asking_ || !view_)
        return;
    auto* dialog = new QDialog(view_->window());
    asking_ = dialog;
    dialog->setObjectName(QStringLiteral("signIn"));
    dialog->setWindowTitle(QStringLiteral("需要登录"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    auto* form = new QFormLayout(dialog);
    auto* label = new QLabel(text, dialog);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    form->addRow(label);
    // Each box is named as its label reads.
    const QString userLabel = QStringLiteral("用户名：");
    auto* user = new QLineEdit(dialog);
    user->setObjectName(QStringLiteral("user"));
    user->setAccessibleName(userLabel);
    form->addRow(userLabel, user);
    const QString passwordLabel = QStringLiteral("密码：");
    auto* password = new QLineEdit(dialog);
    password->setObjectName(QStringLiteral("password"));
    password->setAccessibleName(passwordLabel);
    password->setEchoMode(QLineEdit::Password);
    form->addRow(passwordLabel, password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    connect(dialog, &QDialog::accepted, this, [this, place, user, password] {
        answers_.insert(place, Answer{user->text(), password->text()});
        if (loading_)
            reloadWanted_ = true;
        else if (page_)
            page_->triggerAction(QWebEnginePage::Reload);
    });
    dialog->open();
    user->setFocus();
}

} // namespace browser
