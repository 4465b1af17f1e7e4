// The malloc setting the programs hand on to QtWebEngine's helper processes, and only to them.
#include "app/memory.h"

#include <QTest>

class TestMemory : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void helpersAloneInheritTheThreshold_data();
    void helpersAloneInheritTheThreshold();
};

void TestMemory::helpersAloneInheritTheThreshold_data() {
    QTest::addColumn<QByteArray>("before"); // empty: not set at all
    QTest::addColumn<QByteArray>("during");
    const QByteArray ours("glibc.malloc.mmap_threshold=131072");
    QTest::newRow("unset") << QByteArray() << ours;
    QTest::newRow("other tunables kept")
        << QByteArray("glibc.malloc.arena_max=2") << "glibc.malloc.arena_max=2:" + ours;
    QTest::newRow("the user's threshold stays")
        << QByteArray("glibc.malloc.mmap_threshold=4096:glibc.malloc.arena_max=2")
        << QByteArray("glibc.malloc.mmap_threshold=4096:glibc.malloc.arena_max=2");
}

void TestMemory::helpersAloneInheritTheThreshold() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, during);
    if (before.isEmpty())
        qunsetenv("GLIBC_TUNABLES");
    else
        qputenv("GLIBC_TUNABLES", before);
    int calls = 0;
    app::withHelpersReturningLargeBlocks([&] {
        ++calls;
        QCOMPARE(qgetenv("GLIBC_TUNABLES"), during);
    });
    QCOMPARE(calls, 1);
    // Programs started afterwards find the environment as it was.
    QCOMPARE(qEnvironmentVariableIsSet("GLIBC_TUNABLES"), !before.isEmpty());
    QCOMPARE(qgetenv("GLIBC_TUNABLES"), before);
}

QTEST_GUILESS_MAIN(TestMemory)
#include "test_memory.moc"
