#include "browser/navigationkeys.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace browser {

bool isNavigationShortcut(const QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
        const auto* mouse = static_cast<const QMouseEvent*>(event);
        return mouse->button() == Qt::BackButton || mouse->button() == Qt::ForwardButton;
    }
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        // The keys are named one by one: the platform's QKeySequence::Back binds Backspace on
        // some schemes, and a page's text fields need that key.
        const auto* key = static_cast<const QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods =
            key->modifiers() &
            (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        switch (key->key()) {
        case Qt::Key_Back:
        case Qt::Key_Forward:
        case Qt::Key_Refresh:
        case Qt::Key_Reload:
        case Qt::Key_HomePage:
        case Qt::Key_F5:
            return true;
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Home:
            return mods == Qt::AltModifier;
        case Qt::Key_R:
            return mods == Qt::ControlModifier || mods == (Qt::ControlModifier | Qt::ShiftModifier);
        default:
            return false;
        }
    }
    default:
        return false;
    }
}

} // namespace browser
