#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

// Takes the addresses that the program hands to the desktop (QDesktopServices::openUrl) instead
// of the desktop, for the schemes given, as long as it lives.
class DesktopRecorder : public QObject {
    Q_OBJECT
public:
    explicit DesktopRecorder(const QStringList& schemes = {QStringLiteral("http"),
                                                           QStringLiteral("https"),
                                                           QStringLiteral("file")});
    ~DesktopRecorder() override;

    QList<QUrl> opened;

public Q_SLOTS:
    void open(const QUrl& url) { opened << url; }

private:
    QStringList schemes_;
};
