#include "dummy/FileError.h"
#include "dummy/PathCodec.h"
#include "dummy/modMain.h"
#include "testutil.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

// The first 8 bytes of every record (version 0.1.1), and the result standing for a FileError.
static const QByteArray kHead = "*PBX" + QByteArray::fromHex("00000101");
constexpr int kThrows = 1;

// The bytes of the file at a path given as bytes.
static QByteArray readRaw(const QByteArray &path)
{
    std::ifstream in(path.constData(), std::ios::binary);
    const std::string s{std::istreambuf_iterator<char>(in), {}};
    return in ? QByteArray::fromStdString(s) : QByteArray("<unreadable>");
}

class TestDummy : public QObject
{
    Q_OBJECT

private slots:
    void record_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QByteArray>("sizeHex");
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<QByteArray>("stamp");
        // Single-digit date and time fields are zero-padded.
        const QDateTime morning(QDate(2024, 3, 5), QTime(9, 4, 7));
        const QByteArray mornings = "20240305090407";
        const auto row = [](const char *name, qint64 size, const char *hex, QDateTime time,
                            const char *stamp) {
            QTest::newRow(name) << size << QByteArray(hex) << time << QByteArray(stamp);
        };
        row("zero", 0, "00000000", morning, mornings);
        row("485", 485, "000001E5", morning, mornings);
        row("255 is hex", 255, "000000FF", morning, mornings);
        row("largest 32-bit", 0xFFFFFFFF, "FFFFFFFF", morning, mornings);
        row("above 4 GiB", qint64(5) << 32 | 0x1234, "00001234", morning, mornings);
        // Times the 14 digits cannot hold are held to their limits.
        row("year 1", 0, "00000000", {{1, 1, 1}, {0, 0}}, "00010101000000");
        row("year 9999", 0, "00000000", {{9999, 12, 31}, {23, 59, 59}}, "99991231235959");
        row("year 10000", 0, "00000000", {{10000, 1, 1}, {0, 0}}, "99991231235959");
        row("year -1", 0, "00000000", {{-1, 12, 31}, {23, 59, 59}}, "00010101000000");
        row("no time", 0, "00000000", QDateTime(), "00010101000000");
    }

    void record()
    {
        QFETCH(qint64, size);
        QFETCH(QByteArray, sizeHex);
        QFETCH(QDateTime, time);
        QFETCH(QByteArray, stamp);
        QCOMPARE(DummyHeader::make(size, time, 6, false).toBytes(),
                 kHead + sizeHex + "    " + stamp + QByteArray::fromHex("0600") + "    ");
    }

    // Names as bytes: undecodable bytes survive the round trip, and show as U+FFFD.
    void pathCodec_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("decoded");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char *name, const QByteArray &bytes, const QString &decoded,
                            const QString &shown) {
            QTest::newRow(name) << bytes << decoded << shown;
        };
        const QString ff = QChar(0xDCFF), fe = QChar(0xDCFE), bad = QChar(0xFFFD);
        row("UTF-8", "/d/日本😀.txt", "/d/日本😀.txt", "/d/日本😀.txt");
#ifdef Q_OS_UNIX
        row("invalid bytes", "\xff\xfe.bin", ff + fe + ".bin", bad + bad + ".bin");
        row("Shift-JIS", "\x95\x5c.txt", QChar(0xDC95) + QString("\\.txt"), bad + "\\.txt");
        row("cut short", "\xe6\x97x", QString(QChar(0xDCE6)) + QChar(0xDC97) + "x",
            bad + bad + "x");
        row("overlong", "\xc0\xaf", QString(QChar(0xDCC0)) + QChar(0xDCAF), bad + bad);
        row("surrogate as UTF-8", "\xed\xb2\x80",
            QString(QChar(0xDCED)) + QChar(0xDCB2) + QChar(0xDC80), bad + bad + bad);
        row("above U+10FFFF", "\xf4\x90\x80\x80",
            QString(QChar(0xDCF4)) + QChar(0xDC90) + QChar(0xDC80) + QChar(0xDC80),
            bad + bad + bad + bad);
#endif
    }

    void pathCodec()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, decoded);
        QCOMPARE(decodePath(bytes), decoded);
        QCOMPARE(encodePath(decoded), bytes);
        QCOMPARE(systemPath(decoded).value_or("<refused>"), bytes);
        QTEST(displayPath(decoded), "shown");
        // No system call sees a NUL, nor a character no name can hold.
        QVERIFY(!systemPath(decoded + QChar(0) + "x") && !systemPath(QString()));
        QVERIFY(!systemPath(decoded + QChar(0xD800)));
    }

    // The settings file lives beside the executable, also in a folder that is not UTF-8.
    void executableFolder()
    {
        QCOMPARE(::executableFolder(),
                 QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
#ifdef Q_OS_UNIX
        const QTemporaryDir tmp;
        const QByteArray raw = QFile::encodeName(tmp.path()) + '/';
        QVERIFY(::mkdir(raw + "\xff\xfe", 0700) == 0);
        const auto removeOdd = qScopeGuard([&] { ::rmdir(raw + "\xff\xfe"); });
        QVERIFY(::symlink(raw + "\xff\xfe/program", raw + "exe") == 0);
        QCOMPARE(linkTargetFolder(tmp.path() + "/exe"), decodePath(raw + "\xff\xfe"));
        QCOMPARE(linkTargetFolder(tmp.path()), QString()); // not a link
#endif
    }

    void make_data()
    {
        QTest::addColumn<QByteArray>("source"); // names as the system has them
        QTest::addColumn<QByteArray>("dummy");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("sizeLimit"); // RLIMIT_FSIZE, binding root too; 0 for none
        const auto row = [](const char *name, const QByteArray &source, const QByteArray &dummy,
                            int result, int sizeLimit = 0) {
            QTest::newRow(name) << source << dummy << result << sizeLimit;
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
        row("name too long", "src.txt", QByteArray(300, 'n'), kThrows);
        // A NUL would end the name early: src.txt would be read, out.txt made.
        row("source holds NUL", QByteArray("src.txt\0x", 9), "out.txt", -1);
        row("dummy holds NUL", "src.txt", QByteArray("out.txt\0/x", 10), -2);
#ifdef Q_OS_UNIX
        row("folder part is the root", "src.txt", "/tmp", -3);
        row("write cut short", "src.txt", "out.txt", kThrows, 16);
        // Beside "\xff\xfe.bin" lies a decoy named with the bytes of U+FFFD twice.
        row("source name not UTF-8", "\xff\xfe.bin", "out.txt", 0);
        row("dummy name not UTF-8", "src.txt", "\x95\x5c\xff.txt", 0);
#endif
    }

    // Nothing existing is ever changed. A dummy is made only for result 0, and only once.
    void make()
    {
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, dummy);
        QFETCH(int, result);
        QFETCH(int, sizeLimit);
        const QTemporaryDir tmp;
        const QDir d(tmp.path());
        const auto p = [&](const QString &n) { return QDir::toNativeSeparators(d.filePath(n)); };
        const QDateTime time({2021, 11, 22}, {23, 58, 59});
        for (const char *name : {"src.txt", ".hidden.txt", "taken.txt", "sub/x"})
            makeFile(p(name), qstrlen(name), name, time);
        QVERIFY(QFile::link(p("src.txt"), p("link.txt")));
        QVERIFY(QFile::link(p("nowhere"), p("dangling")));
#ifdef Q_OS_UNIX
        const QByteArray raw = QFile::encodeName(tmp.path()) + '/';
        // QTemporaryDir cannot remove names that are not UTF-8.
        const auto unlinkOdd = qScopeGuard([&] {
            for (const char *name : {"\xff\xfe.bin", "\xef\xbf\xbd\xef\xbf\xbd.bin"})
                ::unlink(raw + name);
            ::unlink(raw + dummy);
        });
        makeFile(p("odd"), 7, "odd.txt", time);
        makeFile(p("decoy"), 3, "dec", time);
        QVERIFY(::rename(qPrintable(p("odd")), raw + "\xff\xfe.bin") == 0);
        QVERIFY(::rename(qPrintable(p("decoy")), raw + "\xef\xbf\xbd\xef\xbf\xbd.bin") == 0);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const rlimit cap{sizeLimit ? rlim_t(sizeLimit) : old.rlim_cur, old.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN); // so a write past the limit fails part way
        setrlimit(RLIMIT_FSIZE, &cap);
#endif
        int got = 0;
        try {
            got = MakeDummy(p(decodePath(source)), p(decodePath(dummy)), 255, true);
        } catch (const FileError &e) {
            got = e.path() == p(decodePath(dummy)) && !e.reason().isEmpty() ? kThrows : kThrows - 1;
        }
#ifdef Q_OS_UNIX
        setrlimit(RLIMIT_FSIZE, &old);
#endif
        QCOMPARE(got, result);
        for (const char *name : {"src.txt", ".hidden.txt", "taken.txt", "sub/x"})
            QCOMPARE(readFile(p(name)), QByteArray(name));
        QVERIFY(!QFileInfo::exists(p("nowhere")) && !QFileInfo::exists(p("nosub")));
        QCOMPARE(QFileInfo::exists(p("out.txt")), result == 0 && dummy == "out.txt");
        if (result == 0) {
            QCOMPARE(MakeDummy(p(decodePath(source)), p(decodePath(dummy)), 6, false), qint16(-3));
            QCOMPARE(readRaw(QFile::encodeName(tmp.path()) + '/' + dummy),
                     kHead + "00000007    20211122235859\xFF\x01    ");
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
