#include "support/desktoprecorder.h"

#include <QDesktopServices>

DesktopRecorder::DesktopRecorder(const QStringList& schemes) : schemes_(schemes) {
    for (const QString& scheme : schemes_)
        QDesktopServices::setUrlHandler(scheme, this, "open");
}

DesktopRecorder::~DesktopRecorder() {
    for (const QString& scheme : schemes_)
        QDesktopServices::unsetUrlHandler(scheme);
}
