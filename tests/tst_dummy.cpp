#include "dummy/FileError.h"
#include "dummy/modMain.h"
#include "testutil.h"

#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <stdexcept>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

// The first 8 bytes of every record (version 0.1.1), and the result standing for a FileError.
static const QByteArray kHead = "*PBX" + QByteArray::fromHex("00000101");
constexpr int kThrows = 1;

class TestDummy : public QObject
{
    Q_OBJECT

private slots:
    void record_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QByteArray>("sizeHex");
        QTest::newRow("zero") << qint64(0) << QByteArray("00000000");
        QTest::newRow("485") << qint64(485) << QByteArray("000001E5");
        QTest::newRow("255 is hex") << qint64(255) << QByteArray("000000FF");
        QTest::newRow("largest 32-bit") << qint64(0xFFFFFFFF) << QByteArray("FFFFFFFF");
        QTest::newRow("above 4 GiB") << (qint64(5) << 32 | 0x1234) << QByteArray("00001234");
    }

    void record()
    {
        QFETCH(qint64, size);
        QFETCH(QByteArray, sizeHex);
        // Single-digit date and time fields are zero-padded.
        const QDateTime time(QDate(2024, 3, 5), QTime(9, 4, 7));
        QCOMPARE(DummyHeader::make(size, time, 6, false).toBytes(),
                 kHead + sizeHex + "    20240305090407" + QByteArray::fromHex("0600") + "    ");
    }

    void make_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("dummy");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("sizeLimit"); // RLIMIT_FSIZE, binding root too; 0 for none
        const auto row = [](const char *name, const char *source, const QString &dummy, int result,
                            int sizeLimit = 0) {
            QTest::newRow(name) << QString(source) << dummy << result << sizeLimit;
        };
        row("made", "src.txt", "out.txt", 0);
        row("made from a link to a file", "link.txt", "out.txt", 0);
        row("source missing", "nosuch.txt", "out.txt", -1);
        row("source hidden", ".hidden.txt", "out.txt", -1);
        row("source is a folder", "sub", "out.txt", -1);
        row("wildcard is literal", "src*.txt", "out.txt", -1);
        row("folder missing", "src.txt", "nosub/out.txt", -2);
        row("source decides before folder", "nosuch.txt", "nosub/out.txt", -1);
        row("source decides before existing", "nosuch.txt", "taken.txt", -1);
        row("visible file exists", "src.txt", "taken.txt", -3);
        row("hidden file exists", "src.txt", ".hidden.txt", -3);
        row("folder exists", "src.txt", "sub", -3);
        row("dangling link exists", "src.txt", "dangling", -3);
        row("folder part is a plain file", "src.txt", "src.txt/out.txt", kThrows);
        row("name too long", "src.txt", QString(100, u'名'), kThrows);
#ifdef Q_OS_UNIX
        row("folder part is the root", "src.txt", "/tmp", -3);
        row("write cut short", "src.txt", "out.txt", kThrows, 16);
#endif
    }

    // Nothing existing is ever changed. A dummy is made only for result 0, and only once.
    void make()
    {
        QFETCH(QString, source);
        QFETCH(QString, dummy);
        QFETCH(int, result);
        QFETCH(int, sizeLimit);
        const QTemporaryDir tmp;
        const QDir d(tmp.path());
        const auto p = [&](const QString &n) { return QDir::toNativeSeparators(d.filePath(n)); };
        for (const char *name : {"src.txt", ".hidden.txt", "taken.txt", "sub/x"})
            makeFile(p(name), qstrlen(name), name, QDateTime({2021, 11, 22}, {23, 58, 59}));
        QVERIFY(QFile::link(p("src.txt"), p("link.txt")));
        QVERIFY(QFile::link(p("nowhere"), p("dangling")));
#ifdef Q_OS_UNIX
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const rlimit cap{sizeLimit ? rlim_t(sizeLimit) : old.rlim_cur, old.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN); // so a write past the limit fails part way
        setrlimit(RLIMIT_FSIZE, &cap);
#endif
        int got = 0;
        try {
            got = MakeDummy(p(source), p(dummy), 255, true);
        } catch (const FileError &e) {
            const bool told = !e.reason().isEmpty() && whatText(e) == p(dummy) + ": " + e.reason();
            got = e.path() == p(dummy) && told ? kThrows : kThrows - 1;
        }
#ifdef Q_OS_UNIX
        setrlimit(RLIMIT_FSIZE, &old);
#endif
        QCOMPARE(got, result);
        for (const char *name : {"src.txt", ".hidden.txt", "taken.txt", "sub/x"})
            QCOMPARE(readFile(p(name)), QByteArray(name));
        QVERIFY(!QFileInfo::exists(p("nowhere")) && !QFileInfo::exists(p("nosub")));
        QCOMPARE(QFileInfo::exists(p("out.txt")), result == 0);
        if (result == 0) {
            QCOMPARE(MakeDummy(p(source), p("out.txt"), 6, false), qint16(-3));
            QCOMPARE(readFile(p("out.txt")), kHead + "00000007    20211122235859\xFF\x01    ");
        }
    }

    // With no source only a check made before any look at the disk can throw.
    void prefixLengthOutOfRange()
    {
        for (int len : {-1, 256})
            QVERIFY_THROWS_EXCEPTION(std::invalid_argument, MakeDummy({}, {}, len, false));
    }
};

QTEST_GUILESS_MAIN(TestDummy)
#include "tst_dummy.moc"
