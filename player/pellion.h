// The player's window: an embedded browser that shows the vendor's pages and the play page.
#pragma once

#include "browser/forward.h"
#include "player/addresswatch.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

class QMessageBox;
class QTimer;

namespace webkit {
class VersionCheck;
}

namespace lumetta {

class PlayResolver;

class pellion : public QWidget {
    Q_OBJECT
public:
    // Where the window stands; each change is announced with stateChanged().
    enum class State {
        Loading,   // the loading page; the version check runs
        Waiting,   // the link page; Timer1 watches the address
        Resolving, // the play API was asked for a link's play address
        Playing,   // the play address was opened
        ErrorPage, // the error page was opened
    };
    Q_ENUM(State)

    explicit pellion(QString commandLine, QWidget* parent = nullptr);
    ~pellion() override;

    // Starts the window's work; called once, before the window is first shown.
    void Form_Load();

    State state() const { return state_; }
    QString commandLine() const { return commandLine_; }

    // The browser's own behaviour: new windows, full screen (F11 too), downloads, sign-in.
    browser::Browser* browser() const { return browser_; }
    // Brings the page back when its page process ends abnormally.
    browser::Recovery* recovery() const { return recovery_; }

    // How a tick of Timer1 reads the page's address: the reader hands it to `answer`, later or
    // never. By default it asks the page for its own location.href.
    using Answer = std::function<void(const QString& address)>;
    using AddressReader = std::function<void(const Answer& answer)>;
    void setAddressReader(AddressReader reader) { readAddress_ = std::move(reader); }

    QTimer* Timer1() const { return Timer1_; }
    QWebEngineView* WebBrowser1() const { return WebBrowser1_; }
    // The vendor site's root address, without a "/" at its end.
    QString qjym() const { return qjym_; }

Q_SIGNALS:
    void stateChanged(lumetta::pellion::State state);
    // The play page was requested: `playAddress` with `requestAddress` as its Referer.
    void playOpened(const QString& playAddress, const QString& requestAddress);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // The browser surface, its browser behaviour, its address reader and its recovery.
    void createBrowser();
    // With LUMETTA_TRACE=1: each load of the page on stderr, "started|loaded|... ADDRESS".
    void traceLoads();
    void Form_Resize();
    void Timer1_Timer();
    void dqbfdz(const QString& bfdz);

    void versionAnnounced(const QString& downloadText);
    void versionCheckDone();
    void startFromCommandLine();
    void watchAddress(const QString& address);
    void openPlayAddress(const QString& playAddress, const QString& requestAddress);
    void showPlayPage();
    void reloadShown(const QUrl& shown);
    void showErrorPage();
    void setState(State state);
    void navigate(const QString& address);

    QTimer* Timer1_ = nullptr;
    QWebEngineView* WebBrowser1_ = nullptr;
    QString qjym_;
    QString commandLine_;
    State state_ = State::Loading;
    webkit::VersionCheck* versionCheck_ = nullptr;
    QPointer<QMessageBox> announcement_;
    PlayResolver* resolver_ = nullptr;
    browser::Browser* browser_ = nullptr;
    browser::Recovery* recovery_ = nullptr;
    // The play page last opened, and the address that is its Referer.
    QString playAddress_;
    QString requestAddress_;
    AddressWatch watch_;
    AddressReader readAddress_;
    bool addressPending_ = false;
    quint64 addressLook_ = 0;
    int ticksUnanswered_ = 0;
    static constexpr int kTicksBeforeAskingAgain = 5;
    bool loaded_ = false;
    bool trace_ = false;
};

} // namespace lumetta
