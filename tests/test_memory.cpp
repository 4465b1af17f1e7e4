// The malloc setting the programs hand on to QtWebEngine's helper processes.
#include "webkit/memory.h"

#include <QTest>

class TestMemory : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void helpersInheritTheThreshold_data();
    void helpersInheritTheThreshold();
};

void TestMemory::helpersInheritTheThreshold_data() {
    QTest::addColumn<QByteArray>("before"); // empty: not set at all
    QTest::addColumn<QByteArray>("after");
    const QByteArray ours("glibc.malloc.mmap_threshold=131072");
    QTest::newRow("unset") << QByteArray() << ours;
    QTest::newRow("other tunables kept")
        << QByteArray("glibc.malloc.arena_max=2") << "glibc.malloc.arena_max=2:" + ours;
    QTest::newRow("the user's threshold stays")
        << QByteArray("glibc.malloc.mmap_threshold=4096:glibc.malloc.arena_max=2")
        << QByteArray("glibc.malloc.mmap_threshold=4096:glibc.malloc.arena_max=2");
}

void TestMemory::helpersInheritTheThreshold() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    if (before.isEmpty())
        qunsetenv("GLIBC_TUNABLES");
    else
        qputenv("GLIBC_TUNABLES", before);
    webkit::helpersReturnLargeBlocks();
    QCOMPARE(qgetenv("GLIBC_TUNABLES"), after);
    // Twice changes nothing more.
    webkit::helpersReturnLargeBlocks();
    QCOMPARE(qgetenv("GLIBC_TUNABLES"), after);
}

QTEST_GUILESS_MAIN(TestMemory)
#include "test_memory.moc"
