#include "browser/messages.h"

#include "webkit/versioncheck.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

namespace browser {

namespace {
const QString kNewVersionMessage = QStringLiteral("发现新版本请更新，否则可能影响使用");
} // namespace

QMessageBox* messageBox(const QString& text, QWidget* parent) {
    auto* box = new QMessageBox(QMessageBox::NoIcon, QCoreApplication::applicationName(), text,
                                QMessageBox::Ok, parent);
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    return box;
}

QMessageBox* announceNewVersion(const QString& downloadText, QWidget* parent,
                                const std::function<void()>& closed) {
    QMessageBox* box = messageBox(kNewVersionMessage, parent);
    // The download address comes from the vendor's site: only a web address goes to the
    // desktop, never a file, a program or any other scheme.
    QObject::connect(box, &QMessageBox::finished, box, [downloadText, closed] {
        if (const QUrl address = webkit::VersionCheck::downloadAddress(downloadText);
            !address.isEmpty())
            QDesktopServices::openUrl(address);
        if (closed)
            closed();
    });
    box->open();
    return box;
}

int twipsToPixels(double twips) {
    return qRound(twips / kTwipsPerPixel);
}

double pixelsToTwips(int pixels) {
    return pixels * kTwipsPerPixel;
}

} // namespace browser
