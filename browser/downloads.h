#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTemporaryDir>

class QFileDialog;
class QProgressDialog;
class QWebEngineDownloadRequest;
class QWidget;

namespace browser {

// One download. The desktop's save dialog asks where to save it, starting in the Downloads
// folder; the engine wants its answer at once, so the bytes go meanwhile to a private folder
// of this download's own and are moved to the chosen file when both the download and the
// choice are done. Cancelling the dialog or the progress stops the download and leaves no
// file; a download that fails says so.
class Download : public QObject {
    Q_OBJECT
public:
    Download(QWebEngineDownloadRequest* request, QWidget* window, QObject* parent);
    ~Download() override;

    quint32 id() const { return id_; }
    // Takes the request again when the engine asks once more for a download it resumes.
    void adopt(QWebEngineDownloadRequest* request);

    // The file the save dialog proposes: the suggested name in the Downloads folder.
    static QString proposedPath(const QString& suggestedName);

Q_SIGNALS:
    void ended(bool saved, const QString& path);

private:
    void chosen(const QString& path);
    void progress();
    void finished();
    void moveIntoPlace();
    void fail(const QString& reason);
    void end(bool saved);

    QPointer<QWebEngineDownloadRequest> request_;
    quint32 id_ = 0;
    QPointer<QWidget> window_;
    QTemporaryDir staging_;
    QString name_;
    QString target_;
    QPointer<QFileDialog> dialog_;
    QPointer<QProgressDialog> progress_;
    bool ended_ = false;
};

} // namespace browser
