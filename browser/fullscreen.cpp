#include "browser/fullscreen.h"

#include <QResizeEvent>
#include <QTimer>
#include <QWidget>

namespace browser {

FullScreen::FullScreen(QWidget* content, QObject* parent) : QObject(parent), content_(content) {}

void FullScreen::enter() {
    if (active_ || !content_ || content_->isWindow())
        return;
    window_ = content_->window();
    savedState_ = window_->windowState();
    savedSize_ = window_->size();
    savedGeometry_ = content_->geometry();
    // The sibling drawn right above the widget, to stack it back under.
    above_ = nullptr;
    const QObjectList& siblings = content_->parentWidget()->children();
    for (qsizetype i = siblings.indexOf(content_) + 1; i < siblings.size(); ++i) {
        if (siblings[i]->isWidgetType() && !static_cast<QWidget*>(siblings[i])->isWindow()) {
            above_ = static_cast<QWidget*>(siblings[i]);
            break;
        }
    }

    active_ = true;
    restorePending_ = false;
    window_->installEventFilter(this);
    content_->raise();
    content_->setGeometry(content_->parentWidget()->rect());
    window_->setWindowState(savedState_ | Qt::WindowFullScreen);
    Q_EMIT changed(true);
}

void FullScreen::leave() {
    if (!active_)
        return;
    active_ = false;
    if (window_) {
        window_->setWindowState(savedState_);
        if (!(savedState_ & (Qt::WindowMaximized | Qt::WindowFullScreen)))
            window_->resize(savedSize_);
    }
    putBack();
    // The window may come back to its size later, when the window system says so; its own
    // layout runs then, and the widget goes back to its place once more after it.
    restorePending_ = window_ && window_->size() != savedSize_;
    Q_EMIT changed(false);
}

void FullScreen::putBack() {
    if (!content_)
        return;
    content_->setGeometry(savedGeometry_);
    if (above_ && above_->parentWidget() == content_->parentWidget())
        content_->stackUnder(above_);
}

bool FullScreen::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_ || event->type() != QEvent::Resize || !content_)
        return false;
    if (active_) {
        // Only the widget follows the window; the window's layout stays as it was.
        content_->setGeometry(content_->parentWidget()->rect());
        return true;
    }
    if (restorePending_ && static_cast<QResizeEvent*>(event)->size() == savedSize_) {
        restorePending_ = false;
        QTimer::singleShot(0, this, &FullScreen::putBack);
    }
    return false;
}

} // namespace browser
