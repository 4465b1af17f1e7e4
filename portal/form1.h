#pragma once

#include "browser/forward.h"
#include "portal/resultlist.h"
#include "portal/startlimit.h"

#include <QLabel>
#include <QString>
#include <QStringList>
#include <QWidget>

class QAction;
class QKeyEvent;
class QLineEdit;
class QMenu;
class QMessageBox;

namespace webkit {
class VersionCheck;
}

namespace portal {

class BrowserHost;
class External;
class LinkSearch;
class Links;

// A bitmap that reports a click: the left button pressed and released over it. The second press
// of a double-click is no press of its own, so a double-click is one click.
class ClickableBitmap : public QLabel {
    Q_OBJECT
public:
    explicit ClickableBitmap(QWidget* parent = nullptr);

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

// The portal's one window: a header of three image buttons, the keyword box with its search
// button, the browser surface showing the vendor's pages and the result list that takes its
// place in search mode, with the two banners over it.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // The links of the last search, in order. A link keeps any "*" it holds. The result list
    // and the page bridge read them as they stand.
    QStringList links() const { return links_->list(); }
    void setLinks(const QStringList& links);
    // The links as one text, each followed by "*".
    QString edurl() const;
    // The vendor portal's root address, ending in "/".
    QString qjym() const { return qjym_; }
    // The mode: 1 browser, 2 search, 3 player.
    qint16 anzt() const { return anzt_; }
    void setAnzt(qint16 anzt);

    // Starts the player with `URL` as its one argument, unchanged. Does not wait for it and
    // does not look at whether it started. A start within a second of the last one is dropped,
    // whether a page, the list or the player button asks; so is a start while PlayerCap::kMax
    // players that this window started still run, and the user is told so once.
    void HelloWorld(const QString& URL);
    // The limit on player starts; tests give it their own clock.
    StartLimiter& playerStarts() { return playerStarts_; }

    // The player program; by default brenlo/lumetta in this program's folder.
    QString playerPath() const { return playerPath_; }
    void setPlayerPath(const QString& path) { playerPath_ = path; }

    // The browser's own behaviour: new windows, full screen, downloads, sign-in, dialogs.
    browser::Browser* browser() const { return browser_; }
    // Brings the page back when its page process ends abnormally.
    browser::Recovery* recovery() const { return recovery_; }

    // The start-up version check (it reports when it is done).
    webkit::VersionCheck* versionCheck() const { return versionCheck_; }

    // Starts the link search for the keyword in the keyword box; a search still running is
    // dropped. At its end its links replace the window's, and the no-results banner shows in
    // search mode when there are none.
    void huoquindex();
    // Ends the searching banner over the result list, which shows the links, one row per link.
    void zairu();

    // Event handlers of the header, the keyword box and the result list.
    void Image2_Click();
    void Image3_Click();
    void Image4_Click();
    void Picture1_Click();
    void Text1_Click();
    // Enter (13) searches; the handler sets the code to 0 so the box never receives it.
    void Text1_KeyPress(int& KeyAscii);
    void ListView1_MouseUp(Qt::MouseButton Button);
    // Keys on the result list: true when the key was taken.
    bool ListView1_KeyDown(const QKeyEvent& key);
    void ListView1_DblClick();
    void aplary_Click();
    void acopy_Click();

    // Controls, by their designer names.
    QLabel* Image1() const { return Image1_; }
    ClickableBitmap* Image2() const { return Image2_; }
    ClickableBitmap* Image3() const { return Image3_; }
    ClickableBitmap* Image4() const { return Image4_; }
    QLineEdit* Text1() const { return Text1_; }
    QWebEngineView* WebBrowser1() const { return WebBrowser1_; }
    ResultList* ListView1() const { return ListView1_; }
    ClickableBitmap* Picture1() const { return Picture1_; }
    QLabel* Picture2() const { return Picture2_; }
    QLabel* Picture3() const { return Picture3_; }

    // The result list's pop-up menu, never on a menu bar.
    QMenu* mnuOptions() const { return mnuOptions_; }
    QAction* aplary() const { return aplary_; }
    QAction* acopy() const { return acopy_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void createControls();
    void Form_Load();
    void Form_Resize();
    void chuangjian();
    void pdup();
    void startVersionCheck();
    void announceNewVersion(const QString& downloadText);
    void connectHandlers();
    void showMessage(const QString& text);
    void siteSearch();
    // The searches that the search button and Enter in the keyword box start: the vendor's
    // site search in the browser and, in search mode, the link search.
    void searchFromKeywordBox();
    // Events of the keyword box and of the result list's surface; true when one was taken.
    bool keywordBoxEvent(const QEvent& event);
    void listViewportEvent(const QEvent& event);
    void searchFinished(const QStringList& links);

    // Made first, for the list and the bridge that read it; the window's child from the end of
    // the constructor, so that it is deleted after them.
    Links* links_;
    QString qjym_;
    qint16 anzt_ = 0;
    QString playerPath_;
    StartLimiter playerStarts_;
    PlayerCap players_;
    // Whether the next start that the cap drops tells the user.
    bool tellCap_ = true;
    External* external_ = nullptr;
    browser::Browser* browser_ = nullptr;
    browser::Recovery* recovery_ = nullptr;
    BrowserHost* host_ = nullptr;
    webkit::VersionCheck* versionCheck_ = nullptr;
    bool versionCheckStarted_ = false;
    LinkSearch* search_ = nullptr;

    QLabel* Image1_ = nullptr;
    ClickableBitmap* Image2_ = nullptr;
    ClickableBitmap* Image3_ = nullptr;
    ClickableBitmap* Image4_ = nullptr;
    QLineEdit* Text1_ = nullptr;
    QWebEngineView* WebBrowser1_ = nullptr;
    ResultList* ListView1_ = nullptr;
    ClickableBitmap* Picture1_ = nullptr;
    QLabel* Picture2_ = nullptr;
    QLabel* Picture3_ = nullptr;
    QMenu* mnuOptions_ = nullptr;
    QAction* aplary_ = nullptr;
    QAction* acopy_ = nullptr;
};

} // namespace portal
