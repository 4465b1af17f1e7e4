#pragma once

#include <QRect>
#include <QWidget>

// Where a top-level window is on the screen, and its size, as the display server has it. On X11
// this is asked of the server itself (xdotool): under a reparenting window manager Qt's own
// geometry() may still hold the frame's corner for a while. Elsewhere (Wayland, which tells a
// client no position) Qt's geometry is all there is.
QRect screenPlace(const QWidget& window);

// Whether a window manager runs (support/under-openbox.sh says so): bare Xvfb has none, and
// there a full-screen request changes no window's size.
bool windowManagerRuns();
