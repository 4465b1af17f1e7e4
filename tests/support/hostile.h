#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class LocalWeb;

// Answers from the open web at their worst, shared by the tests and the benchmark that run the
// windows against them. Each is a body of its own or one of localweb's failures.
struct HostileReply {
    const char* name;
    QByteArray body;  // served as it is when there is no fault
    QString fault;    // a localweb failure path, e.g. "/__fault/stall"
    bool holdsAnswer; // the reply still carries the sound answer it was built around

    void serveAt(LocalWeb& web, const QString& url) const;
};

// 10 MB of eD2k link starts with no double quote anywhere: every start runs to the page's end.
QByteArray linkStartsWithoutQuotes();

// Question pages; the sound ones hold `link`.
QList<HostileReply> hostileQuestionPages(const QString& link);

// Play API replies; the sound ones hold `playAddress`.
QList<HostileReply> hostilePlayApiReplies(const QString& playAddress);

// The transport failures both lists share: a 100 MB body, a stall, a reset mid-body and a
// redirect loop.
QList<HostileReply> transportFailures();
