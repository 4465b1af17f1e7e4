#pragma once

class QEvent;

namespace browser {

// Whether a key or mouse event would make the browser go back, forward, home or reload: the
// back and forward mouse buttons and media keys, Alt+Left, Alt+Right, Alt+Home, F5, Ctrl+R.
// Keys that edit text (Backspace, Delete, the arrows) are never among them, whatever the
// platform's key bindings say.
bool isNavigationShortcut(const QEvent* event);

} // namespace browser
