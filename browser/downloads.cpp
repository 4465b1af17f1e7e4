#include "browser/downloads.h"

#include "browser/messages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QWebEngineDownloadRequest>

namespace browser {

namespace {
// The name of a file in the private folder, and of a download that suggests none.
const QString kStagedName = QStringLiteral("download");
} // namespace

QString Download::proposedPath(const QString& suggestedName) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    // Only the name's last part: a suggested name never chooses the folder.
    QString name = QFileInfo(suggestedName).fileName();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = kStagedName;
    return QDir(folder).filePath(name);
}

Download::Download(QWebEngineDownloadRequest* request, QWidget* window, QObject* parent)
    : QObject(parent), id_(request->id()), window_(window), name_(request->suggestedFileName()) {
    if (!staging_.isValid()) {
        fail(staging_.errorString());
        return;
    }
    adopt(request);

    dialog_ = new QFileDialog(window, QStringLiteral("保存文件"), proposedPath(name_));
    dialog_->setObjectName(QStringLiteral("saveDownload"));
    dialog_->setAcceptMode(QFileDialog::AcceptSave);
    dialog_->setFileMode(QFileDialog::AnyFile);
    dialog_->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog_, &QFileDialog::fileSelected, this, &Download::chosen);
    connect(dialog_, &QDialog::rejected, this, [this] { end(false); });
    dialog_->open();
}

void Download::adopt(QWebEngineDownloadRequest* request) {
    if (request_ && request_ != request)
        request_->disconnect(this);
    request_ = request;
    if (ended_)
        return; // not taken: the engine drops it
    request_->setDownloadDirectory(staging_.path());
    request_->setDownloadFileName(kStagedName);
    request_->accept();
    connect(request_, &QWebEngineDownloadRequest::receivedBytesChanged, this, &Download::progress);
    connect(request_, &QWebEngineDownloadRequest::totalBytesChanged, this, &Download::progress);
    // An interruption that the engine could still resume does not finish the request; it is
    // a failure here all the same.
    connect(request_, &QWebEngineDownloadRequest::stateChanged, this, &Download::finished);
    connect(request_, &QWebEngineDownloadRequest::isFinishedChanged, this, &Download::finished);
}

Download::~Download() {
    if (progress_)
        progress_->deleteLater();
}

void Download::chosen(const QString& path) {
    if (path.isEmpty() || ended_)
        return;
    target_ = path;
    if (request_ && request_->state() == QWebEngineDownloadRequest::DownloadCompleted) {
        finished();
        return;
    }
    progress_ = new QProgressDialog(QStringLiteral("正在下载 %1").arg(QFileInfo(path).fileName()),
                                    QStringLiteral("取消"), 0, 0, window_);
    progress_->setObjectName(QStringLiteral("downloadProgress"));
    progress_->setWindowTitle(QCoreApplication::applicationName());
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setMinimumDuration(0);
    connect(progress_, &QProgressDialog::canceled, this, [this] { end(false); });
    progress();
    progress_->show();
}

void Download::progress() {
    if (!progress_ || !request_)
        return;
    // QProgressDialog counts in int: show kilobytes.
    const qint64 total = request_->totalBytes();
    const int scale = 1024;
    progress_->setMaximum(total > 0 ? int(qMin<qint64>(total / scale + 1, INT_MAX)) : 0);
    if (total > 0)
        progress_->setValue(int(qMin<qint64>(request_->receivedBytes() / scale, INT_MAX)));
}

void Download::finished() {
    if (!request_ || ended_)
        return;
    switch (request_->state()) {
    case QWebEngineDownloadRequest::DownloadCompleted:
        if (!target_.isEmpty())
            moveIntoPlace();
        return; // otherwise the save dialog is still open
    case QWebEngineDownloadRequest::DownloadInterrupted:
        if (request_->interruptReason() == QWebEngineDownloadRequest::UserCanceled)
            end(false);
        else
            fail(request_->interruptReasonString());
        return;
    case QWebEngineDownloadRequest::DownloadCancelled:
        end(false);
        return;
    default:
        return;
    }
}

void Download::moveIntoPlace() {
    const QString staged =
        QDir(request_->downloadDirectory()).filePath(request_->downloadFileName());
    // The save dialog has asked before an existing file is replaced.
    if (QFileInfo::exists(target_) && !QFile::remove(target_)) {
        fail(QFile(target_).errorString());
        return;
    }
    QFile file(staged);
    if (!file.rename(target_)) {
        fail(file.errorString());
        return;
    }
    end(true);
}

void Download::fail(const QString& reason) {
    if (ended_)
        return;
    QMessageBox* box = messageBox(QStringLiteral("下载失败：%1\n%2").arg(name_, reason), window_);
    box->setObjectName(QStringLiteral("downloadFailed"));
    box->open();
    end(false);
}

void Download::end(bool saved) {
    if (ended_)
        return;
    ended_ = true;
    // Whatever is not saved is not kept: the download stops and its private folder goes.
    if (!saved && request_ && request_->state() != QWebEngineDownloadRequest::DownloadCompleted &&
        request_->state() != QWebEngineDownloadRequest::DownloadCancelled)
        request_->cancel();
    if (dialog_)
        dialog_->close();
    if (progress_)
        progress_->close();
    Q_EMIT ended(saved, saved ? target_ : QString());
    deleteLater();
}

} // namespace browser
