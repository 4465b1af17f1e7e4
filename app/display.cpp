#include "app/display.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

#include <unistd.h>

namespace app {

namespace {

QtMessageHandler previousHandler = nullptr;

// Everything written to stderr while the display opens is held back in a scratch file: the X11
// plugin's remarks come through Qt's logging, but the Wayland plugin's "Failed to create
// wl_display" does not. On failure one line says it all; once the display is open, what was
// held back is shown as usual.
std::FILE* heldBack = nullptr;
int realStderr = -1;

void holdBackStderr() {
    std::fflush(stderr);
    heldBack = std::tmpfile();
    if (!heldBack)
        return;
    realStderr = ::dup(STDERR_FILENO);
    if (realStderr < 0 || ::dup2(::fileno(heldBack), STDERR_FILENO) < 0) {
        if (realStderr >= 0)
            ::close(realStderr);
        realStderr = -1;
        std::fclose(heldBack);
        heldBack = nullptr;
    }
}

void releaseStderr() {
    if (!heldBack)
        return;
    std::fflush(stderr);
    ::dup2(realStderr, STDERR_FILENO);
    ::close(realStderr);
    realStderr = -1;
    std::rewind(heldBack);
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, heldBack)) > 0;)
        std::fwrite(buffer, 1, n, stderr);
    std::fflush(stderr);
    std::fclose(heldBack);
    heldBack = nullptr;
}

void fail(const QString& why) {
    const QByteArray line = (QCoreApplication::applicationName() +
                             QStringLiteral(": cannot open a window: ") + why + QLatin1Char('\n'))
                                .toLocal8Bit();
    // Straight to the real stderr; what was held back is dropped.
    const int fd = realStderr >= 0 ? realStderr : STDERR_FILENO;
    for (qsizetype done = 0; done < line.size();) {
        const ssize_t n = ::write(fd, line.constData() + done, std::size_t(line.size() - done));
        if (n <= 0)
            break;
        done += n;
    }
    // Nothing half-built may run its destructors: end here.
    std::_Exit(1);
}

QString displayName() {
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qEnvironmentVariableIsEmpty("DISPLAY"))
        return QStringLiteral("Wayland display ") + qEnvironmentVariable("WAYLAND_DISPLAY");
    return QStringLiteral("display ") + qEnvironmentVariable("DISPLAY");
}

void onMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg)
        fail(displayName() + QStringLiteral(" cannot be reached"));
    if (previousHandler)
        previousHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

namespace detail {

void beginOpeningDisplay() {
    // A platform named outright (offscreen, vnc...) needs no display of the desktop's.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        fail(QStringLiteral("no display (neither DISPLAY nor WAYLAND_DISPLAY is set)"));
    holdBackStderr();
    previousHandler = qInstallMessageHandler(onMessage);
}

void endOpeningDisplay() {
    qInstallMessageHandler(previousHandler);
    releaseStderr();
}

} // namespace detail

} // namespace app
