// The portal window's navigation, keyword entry, link search and result actions.
#include "portal/form1.h"

#include "app/memory.h"
#include "browser/messages.h"
#include "portal/search.h"
#include "webkit/urlencode.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>


namespace portal {

namespace {
const QString kPlaceholder = QStringLiteral(" 请在这里输入关键字");
const QString kButtonEmptyMessage = QStringLiteral("请输入关键字!!");
const QString kEnterEmptyMessage = QStringLiteral("请输入关键字!");
constexpr qint16 kBrowserMode = 1;
constexpr qint16 kSearchMode = 2;
constexpr qint16 kPlayerMode = 3;
constexpr int kReturnMemoryAfterSearchMs = 250;
} // namespace

void Form1::connectHandlers() {
    search_ = new LinkSearch(this);
    connect(search_, &LinkSearch::finished, this, &Form1::searchFinished);

    connect(Image2_, &ClickableBitmap::clicked, this, &Form1::Image2_Click);
    connect(Image3_, &ClickableBitmap::clicked, this, &Form1::Image3_Click);
    connect(Image4_, &ClickableBitmap::clicked, this, &Form1::Image4_Click);
    connect(Picture1_, &ClickableBitmap::clicked, this, &Form1::Picture1_Click);
    connect(aplary_, &QAction::triggered, this, &Form1::aplary_Click);
    connect(acopy_, &QAction::triggered, this, &Form1::acopy_Click);
    Text1_->installEventFilter(this);
    ListView1_->installEventFilter(this);
    ListView1_->viewport()->installEventFilter(this);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Text1_ && keywordBoxEvent(*event))
        return true;
    if (watched == ListView1_ && event->type() == QEvent::KeyPress &&
        ListView1_KeyDown(*static_cast<QKeyEvent*>(event)))
        return true;
    if (watched == ListView1_->viewport())
        listViewportEvent(*event);
    return QWidget::eventFilter(watched, event);
}

bool Form1::keywordBoxEvent(const QEvent& event) {
    if (event.type() == QEvent::KeyPress) {
        const auto& key = static_cast<const QKeyEvent&>(event);
        // Enter gives the character 13 only on its own or with Shift; with Ctrl it is a line
        // feed and with Alt no character at all, neither of which searches.
        const bool plainEnter = (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) &&
                                !(key.modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (plainEnter) {
            int code = 13;
            Text1_KeyPress(code);
            return code == 0;
        }
    } else if (event.type() == QEvent::MouseButtonRelease) {
        const auto& mouse = static_cast<const QMouseEvent&>(event);
        if (mouse.button() == Qt::LeftButton && Text1_->rect().contains(mouse.position().toPoint()))
            Text1_Click();
    }
    return false;
}

void Form1::listViewportEvent(const QEvent& event) {
    if (event.type() == QEvent::MouseButtonRelease) {
        ListView1_MouseUp(static_cast<const QMouseEvent&>(event).button());
    } else if (event.type() == QEvent::MouseButtonDblClick) {
        // The first press of the double-click has already selected the row under it.
        ListView1_DblClick();
    }
}

void Form1::showMessage(const QString& text) {
    browser::messageBox(text, this)->open();
}

void Form1::Image2_Click() {
    WebBrowser1_->show();
    ListView1_->hide();
    if (anzt_ == kSearchMode)
        Picture2_->hide();
    setAnzt(kBrowserMode);
}

void Form1::Image3_Click() {
    WebBrowser1_->hide();
    ListView1_->show();
    setAnzt(kSearchMode);
    const QString keyword = Text1_->text();
    if (keyword == kPlaceholder || keyword.isEmpty())
        return;
    Picture3_->show();
    huoquindex();
}

void Form1::Image4_Click() {
    HelloWorld(QStringLiteral("qd"));
    setAnzt(kPlayerMode);
}

void Form1::siteSearch() {
    WebBrowser1_->load(QUrl(qjym_ + QStringLiteral("search.php?keyword=") +
                           webkit::UTF8_URLEncoding(Text1_->text())));
}

void Form1::searchFromKeywordBox() {
    siteSearch();
    if (anzt_ == kSearchMode) {
        // A search from the keyword box starts on an empty list; the search-mode button keeps
        // the rows shown until the answers are in.
        links_->clear();
        Picture3_->show();
        huoquindex();
    }
}

void Form1::Picture1_Click() {
    if (Text1_->text().isEmpty()) {
        showMessage(kButtonEmptyMessage);
        return;
    }
    Picture2_->hide();
    searchFromKeywordBox();
}

void Form1::Text1_Click() {
    if (Text1_->text() == kPlaceholder)
        Text1_->clear();
}

void Form1::Text1_KeyPress(int& KeyAscii) {
    if (KeyAscii != 13)
        return;
    KeyAscii = 0;
    Picture2_->hide();
    if (Text1_->text().isEmpty()) {
        showMessage(kEnterEmptyMessage);
        return;
    }
    searchFromKeywordBox();
}

void Form1::huoquindex() {
    // A search that is dropped never reaches the window: the links change when one ends.
    search_->huoquindex(Text1_->text());
}

void Form1::searchFinished(const QStringList& links) {
    // The search's pages stay in the heap for reuse while it runs; once the list and the page
    // bridge (which reads the links on the next turn of the event loop) have taken the links,
    // what the search freed goes back to the system.
    QTimer::singleShot(kReturnMemoryAfterSearchMs, this, [] { app::returnFreedMemory(); });
    // The list shows the new rows at once; the bridge passes them on to pages after it.
    links_->set(links);
    if (!links.isEmpty() || anzt_ != kSearchMode) {
        zairu();
    } else {
        Picture3_->hide();
        Picture2_->show();
    }
}

void Form1::zairu() {
    // The list follows the links, one row per link, and makes a row's texts when it shows it.
    Picture3_->hide();
}

bool Form1::ListView1_KeyDown(const QKeyEvent& key) {
    const Qt::KeyboardModifiers mods =
        key.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    // Enter plays the row as a double-click does, Ctrl+C copies its link as the menu does, and
    // the menu key or Shift+F10 opens the menu at the selected row.
    if ((key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) && !mods) {
        ListView1_DblClick();
        return true;
    }
    if (key.matches(QKeySequence::Copy)) {
        acopy_Click();
        return true;
    }
    if ((key.key() == Qt::Key_Menu && !mods) ||
        (key.key() == Qt::Key_F10 && mods == Qt::ShiftModifier)) {
        const int row = ListView1_->selectedRow();
        const QRect at = row >= 0 ? ListView1_->rowRect(row) : QRect();
        mnuOptions_->popup(ListView1_->viewport()->mapToGlobal(at.isValid() ? at.bottomLeft()
                                                                           : QPoint(0, 0)));
        return true;
    }
    return false;
}

void Form1::ListView1_MouseUp(Qt::MouseButton Button) {
    if (Button == Qt::RightButton)
        mnuOptions_->popup(QCursor::pos());
}

void Form1::aplary_Click() {
    if (const auto link = ListView1_->selectedLink())
        HelloWorld(*link);
}

void Form1::acopy_Click() {
    if (const auto link = ListView1_->selectedLink())
        QApplication::clipboard()->setText(*link);
}

void Form1::ListView1_DblClick() {
    if (links_->isEmpty())
        return;
    aplary_Click();
}

} // namespace portal
