#pragma once

#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>

#include <csignal>
#include <sys/types.h>

// Ends a page's process (the engine's renderer) the way the kernel's out-of-memory killer does,
// and waits until the page has heard of it. False when the page had no process or never heard.
inline bool killPageProcess(QWebEnginePage* page) {
    const qint64 pid = page->renderProcessPid();
    if (pid <= 0)
        return false;
    QSignalSpy ended(page, &QWebEnginePage::renderProcessTerminated);
    if (::kill(pid_t(pid), SIGKILL) != 0)
        return false;
    return ended.wait(30000) &&
           ended[0][0].value<QWebEnginePage::RenderProcessTerminationStatus>() !=
               QWebEnginePage::NormalTerminationStatus;
}

// Waits until the page runs in a process of its own again, other than `before`.
inline bool newPageProcess(QWebEnginePage* page, qint64 before) {
    return QTest::qWaitFor(
        [&] { return page->renderProcessPid() > 0 && page->renderProcessPid() != before; }, 30000);
}
