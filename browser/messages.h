#pragma once

#include <QString>

#include <functional>

class QMessageBox;
class QWidget;

namespace browser {

// The programs' own message box: plain text, no icon, the program's name as title and one OK
// button, over `parent`. It deletes itself when closed; open() shows it without holding up the
// event loop.
QMessageBox* messageBox(const QString& text, QWidget* parent);

// Tells the user that a newer version exists. Once the box is closed, the download address that
// the vendor's file named opens in the desktop's browser when it is a web address, and then
// `closed` runs. Returns the box, already open.
QMessageBox* announceNewVersion(const QString& downloadText, QWidget* parent,
                                const std::function<void()>& closed = {});

// The windows are laid out in twips, 15 to a device-independent pixel.
inline constexpr double kTwipsPerPixel = 15.0;
int twipsToPixels(double twips);
double pixelsToTwips(int pixels);

} // namespace browser
