#pragma once

#include "portal/form1.h"
#include "support/localweb.h"

#include <QFile>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// A test class of the portal window in this process, against localweb, with the recording
// stand-in for the player at RECORDER_PATH (see use_player_recorder in tests/portal.cmake).
// Before the first case localweb starts as this process's proxy and the stand-in is told where
// to record its starts; every case ends with its window closed.
class PortalWindowTest : public QObject {
    Q_OBJECT
protected:
    // For the start of a case: none of the test's own pages, an empty request log and no
    // starts recorded.
    void clearRecords() {
        web.clearRoutes();
        web.clearLog();
        QFile::remove(recordFile);
    }
    // The player's starts, oldest first: the arguments of each.
    QList<QStringList> recorded() const { return recordedStarts(recordFile); }
    // Moves the clock of the player-start limit on by a whole interval.
    void nextSecond() { clockMs += portal::StartLimiter::kIntervalMs; }

    LocalWeb web;
    QTemporaryDir tmp;
    QString recordFile;
    std::unique_ptr<portal::Form1> form;
    // The time that the windows' player-start limits read.
    qint64 clockMs = 0;

private Q_SLOTS:
    void initTestCase() {
        prepareWebEngine();
        QVERIFY(tmp.isValid());
        QVERIFY(web.start());
        web.useAsProxy();
        recordFile = tmp.filePath(QStringLiteral("player.jsonl"));
        qputenv("PLAYER_RECORD", recordFile.toLocal8Bit());
        QVERIFY2(QFile::exists(QStringLiteral(RECORDER_PATH)), RECORDER_PATH);
    }
    void cleanup() { form.reset(); }
};
