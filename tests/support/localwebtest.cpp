#include "support/localwebtest.h"

#include <QTest>

void LocalWebTest::initTestCase() {
    QVERIFY(web.start());
    web.useAsProxy();
}

void LocalWebTest::init() {
    web.clearRoutes();
    web.clearLog();
}
