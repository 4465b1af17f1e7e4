#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

namespace webkit {

// The start-up check for a newer version on the vendor's portal host. It asks for the version
// file once for its length, once more for the number, and, when the number is greater than
// this program's version 1, for the download address, then announces it. Never blocks: each
// answer arrives on the event loop.
class VersionCheck : public QObject {
    Q_OBJECT
public:
    enum class Variant {
        Portal, // "/d.txt" and "/up.txt"; the number is a 16-bit integer
        Player, // "//yun.txt" and "//yunup.txt"; the number is a double
    };

    explicit VersionCheck(Variant variant, QObject* parent = nullptr);

    QString versionUrl() const;
    QString downloadUrl() const;

    // Runs the check once. Emits newVersion() when a newer version is announced, and finished()
    // in every case, after newVersion().
    void pdup();

    // Whether the second version text names a version newer than 1 for this variant: its
    // decimal value rounded down, and for the portal within -32768..32767.
    static bool announces(const QString& text, Variant variant);
    // The address a download text names when it may be handed to the desktop: an http or https
    // address with a host and no control character, read the tolerant way a browser reads a
    // typed address (a blank or "|" in it stays part of it). Otherwise an empty address.
    static QUrl downloadAddress(const QString& downloadText);
    static bool openable(const QString& downloadText) {
        return !downloadAddress(downloadText).isEmpty();
    }

Q_SIGNALS:
    void newVersion(const QString& downloadText);
    void finished();

private:
    void secondFetch();
    void downloadFetch();

    Variant variant_;
    QString base_;
};

} // namespace webkit
