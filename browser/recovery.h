#pragma once

#include "app/clock.h"

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QWebEnginePage>

#include <functional>

class QWebEngineNavigationRequest;

namespace browser {

// When a page whose process ended abnormally is loaded again, and when the window stops trying:
// a page process that ends again within kQuietMs of being brought back is given up, until the
// user asks for one more try or the page goes elsewhere. Needs no window.
class RecoveryPolicy {
public:
    using Clock = app::Clock;
    static constexpr qint64 kQuietMs = 10000;

    enum class Step {
        Ignore, // a normal end, or one while given up
        Reload, // load again what the page showed
        GiveUp, // ended again too soon after a reload: show the notice instead
    };

    explicit RecoveryPolicy(Clock clock = {});
    void setClock(Clock clock);

    // The page process ended; `normal` when it ended as asked, as when the page closes.
    Step ended(bool normal);
    // The user asks to try once more; the page is loaded again from now.
    void retried();
    // The page goes to another address of its own accord: the notice is gone.
    void movedOn();
    bool givenUp() const { return givenUp_; }

private:
    Clock clock_;
    bool reloaded_ = false;
    qint64 reloadedAt_ = 0;
    bool givenUp_ = false;
};

// Brings one page back when its page process (the engine's renderer) ends abnormally: crashed,
// killed, or out of memory. The window says what to load again; the first end is answered with
// that, an end within ten seconds of such a reload with a small local notice in the page and a
// link that tries once more, and one line on stderr. A normal end is none of this.
class Recovery : public QObject {
    Q_OBJECT
public:
    // Loads again what the page showed; `shown` is the page's address when its process ended.
    using Reload = std::function<void(const QUrl& shown)>;

    Recovery(QWebEnginePage* page, Reload reload, QObject* parent = nullptr);

    RecoveryPolicy& policy() { return policy_; }
    // The address of the notice's link; it is never loaded.
    static QUrl retryAddress();
    // The notice's page.
    static QString noticeHtml();

Q_SIGNALS:
    // The page is being loaded again, after an end or at the user's request.
    void reloading();
    // The notice shows in place of the page.
    void gaveUp();

private:
    void ended(QWebEnginePage::RenderProcessTerminationStatus status, int exitCode);
    void navigation(QWebEngineNavigationRequest& request);
    void reload();

    QPointer<QWebEnginePage> page_;
    Reload reload_;
    RecoveryPolicy policy_;
    QUrl shown_;
};

} // namespace browser
