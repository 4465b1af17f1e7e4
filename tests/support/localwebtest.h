#pragma once

#include "support/localweb.h"

#include <QObject>

// A test class whose cases all run against one localweb, this process's proxy: it starts before
// the first case, and every case begins with none of the test's own pages and an empty request
// log. QTest runs these inherited slots as long as the test class declares no initTestCase() or
// init() of its own.
class LocalWebTest : public QObject {
    Q_OBJECT
protected:
    LocalWeb web;

private Q_SLOTS:
    void initTestCase();
    void init();
};
