#include "dummy/FileError.h"
#include "dummy/PathCodec.h"
#include "dummy/modMain.h"
#include "syscallfault.h"
#include "testutil.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <stdexcept>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

// The first 8 bytes of every record (version 0.2.0), and the result standing for a FileError.
static const QByteArray kHead = "*PBX" + QByteArray::fromHex("00000200");
constexpr int kThrows = 1;

class TestDummy : public QObject
{
    Q_OBJECT

private slots:
    // Single-digit date and time fields are zero-padded; times the 14 digits cannot hold
    // are held to their limits.
    void record()
    {
        const QDateTime t(QDate(2024, 3, 5), QTime(9, 4, 7));
        const QList<std::tuple<qint64, QDateTime, QByteArray>> rows{
            {485, t, "000001E5    20240305090407"},
            {0xFFFFFFFF, t, "FFFFFFFF    20240305090407"},
            {qint64(5) << 32 | 0x1234, t, "00001234    20240305090407"},
            {0, QDateTime({9999, 6, 5}, {4, 3, 2}), "00000000    99990605040302"},
            {0, QDateTime({10000, 1, 1}, {}), "00000000    99991231235959"},
            {0, QDateTime({1, 6, 5}, {4, 3, 2}), "00000000    00010605040302"},
            {0, QDateTime({-1, 1, 1}, {}), "00000000    00010101000000"},
            {0, QDateTime(), "00000000    00010101000000"}};
        for (const auto &[size, time, fields] : rows)
            QCOMPARE(DummyHeader::make(size, time, 6, false).toBytes(),
                     kHead + fields + QByteArray::fromHex("0600") + "    ");
    }

    // Names as bytes: undecodable bytes survive the round trip, and show as U+FFFD.
    void pathCodec()
    {
        QList<std::pair<QByteArray, QStringView>> rows{
            {"/d/日本😀.txt", u"/d/日本😀.txt"},
            {"\xdf\xbf\xe0\xa0\x80\xef\xbf\xbf", u"\u07FF\u0800\uFFFF"}};
#ifdef Q_OS_UNIX
        // A byte that is not part of valid UTF-8 is U+DC00 plus the byte.
        rows += {{"\xff\xfe.bin", u"\xDCFF\xDCFE.bin"},
                 {"\x95\x5c.txt", u"\xDC95\\.txt"},
                 {"\xe6\x97x", u"\xDCE6\xDC97x"},
                 {"\xc0\xaf", u"\xDCC0\xDCAF"},
                 {"\xed\xb2\x80", u"\xDCED\xDCB2\xDC80"},
                 { "\xf4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80" }};
#endif
        for (const auto &[bytes, view] : rows) {
            const QString decoded = view.toString();
            QCOMPARE(decodePath(bytes), decoded);
            QCOMPARE(systemPath(decoded).value_or("<refused>"), bytes);
            QCOMPARE(displayPath(decoded).contains(QChar(0xFFFD)),
                     decoded != QString::fromUtf8(bytes));
            QCOMPARE(decodeFileUrl(fileUrl("/x" + decoded)), // a start folder
                     QDir::toNativeSeparators("/x" + decoded));
            // No system call sees a NUL, nor (on Unix) a surrogate no name can hold.
            QVERIFY(!systemPath(decoded + QChar(0)) && !systemPath(QString()));
#ifdef Q_OS_UNIX
            QVERIFY(!systemPath(decoded + QChar(0xD800)));
#endif
        }
    }

    // The settings file lives beside the executable, also in a folder that is not UTF-8 or
    // whose path is longer than a first read of the link takes.
    void executableFolder()
    {
#ifdef Q_OS_UNIX
        const QTemporaryDir tmp;
        const QByteArray raw = QFile::encodeName(tmp.path()) + '/';
        QVERIFY(::mkdir(raw + "\xff\xfe", 0700) == 0);
        const auto removeOdd = qScopeGuard([&] { ::rmdir(raw + "\xff\xfe"); });
        QVERIFY(::symlink(raw + "\xff\xfe/program", raw + "exe") == 0);
        QCOMPARE(linkTargetFolder(tmp.path() + "/exe"), decodePath(raw + "\xff\xfe"));
        const QByteArray deep = raw + QByteArray(250, 'd'); // needs not exist
        QVERIFY(::symlink(deep + "/program", raw + "deep") == 0);
        QCOMPARE(linkTargetFolder(tmp.path() + "/deep"), decodePath(deep));
        QCOMPARE(linkTargetFolder(tmp.path()), QString()); // not a link
#else
        wchar_t module[32768];
        const DWORD n = GetModuleFileNameW(nullptr, module, DWORD(std::size(module)));
        QVERIFY(n > 0 && n < std::size(module));
        const QString exe = QString::fromWCharArray(module, int(n));
        QCOMPARE(::executableFolder(), exe.first(exe.lastIndexOf(u'\\')));
#endif
    }

    void make_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("dummy");
        QTest::addColumn<int>("result");
        QTest::addColumn<DummyRefusal>("refusal");
        QTest::addColumn<QByteArray>("faults"); // system calls that fail (syscallfault.h)
        using R = DummyRefusal;
        const auto row = [](const char *name, const QString &source, const QString &dummy,
                            int result, R refusal = R::None, const QByteArray &faults = {}) {
            QTest::newRow(name) << source << dummy << result << refusal << faults;
        };
        row("made", "src.txt", "out.txt", 0);
        row("made from a link to a file", "link.txt", "out.txt", 0);
        row("source missing", "nosuch.txt", "out.txt", -1, R::SourceMissing);
        row("source hidden", ".hidden.txt", "out.txt", -1, R::SourceHidden);
        row("source is a folder", "sub", "out.txt", -1, R::SourceNotFile);
#ifdef Q_OS_WIN
        row("source is a system file", "system.txt", "out.txt", -1, R::SourceHidden);
#endif
        row("wildcard is literal", "src*.txt", "out.txt", -1, R::SourceMissing);
        row("folder missing", "src.txt", "nosub/out.txt", -2, R::FolderMissing);
        row("source decides before folder", "nosuch.txt", "nosub/out.txt", -1, R::SourceMissing);
        row("source decides before existing", "nosuch.txt", "taken.txt", -1, R::SourceMissing);
        row("visible file exists", "src.txt", "taken.txt", -3, R::Exists);
        row("hidden file exists", "src.txt", ".hidden.txt", -3, R::Exists);
        row("folder exists", "src.txt", "sub", -3, R::Exists);
        row("dangling link exists", "src.txt", "dangling", -3, R::Exists);
        row("folder part is a plain file", "src.txt", "src.txt/out.txt", -2, R::FolderNotFolder);
        // A name holds 255 UTF-16 units on Windows, 255 bytes elsewhere.
        row("name too long", "src.txt", QString(256, u'名'), kThrows);
        // A NUL would end the name early: src.txt would be read, out.txt made.
        row("source holds NUL", "src.txt" + QString(QChar(0)), "out.txt", -1, R::SourceMissing);
        row("dummy holds NUL", "src.txt", "out.txt" + QString(QChar(0)) + "/x", -2,
            R::FolderMissing);
#ifdef Q_OS_UNIX
        row("source is a FIFO", "fifo", "out.txt", -1, R::SourceNotFile);
        row("source is a device", "null", "out.txt", -1, R::SourceNotFile);
        row("folder part is a FIFO", "src.txt", "fifo/out.txt", -2, R::FolderNotFolder);
        // Permissions bind only other users than root (a non-root run covers these).
        row("non-root: source behind a locked folder", "locked/x", "out.txt", -1, R::SourceMissing);
        row("non-root: folder not writable", "src.txt", "locked/out.txt", kThrows);
#endif
        if (!SyscallFaults::supported())
            return;
        // A dummy that cannot be written whole is removed again.
        row("create refused", "src.txt", "out.txt", kThrows, R::None, "open#1=EACCES");
        row("disk full", "src.txt", "out.txt", kThrows, R::None, "write#1=ENOSPC");
        row("short write, then full", "src.txt", "out.txt", kThrows, R::None,
            "write#1=short write#2=EIO");
        row("short writes to the last byte", "src.txt", "out.txt", 0, R::None,
            "write#1=short write#2=short write#3=short write#4=short write#5=short");
        row("write interrupted", "src.txt", "out.txt", 0, R::None, "write#1=EINTR");
        row("close fails", "src.txt", "out.txt", kThrows, R::None, "close#1=EIO");
    }

    // Nothing existing is ever changed. A dummy is made only for result 0.
    void make()
    {
        QFETCH(QString, source);
        QFETCH(QString, dummy);
        QFETCH(int, result);
        QFETCH(DummyRefusal, refusal);
        QFETCH(QByteArray, faults);
#ifdef Q_OS_WIN
        if (underWine() && QTest::currentDataTag() == QByteArray("name too long"))
            QSKIP("Wine cuts a name at 255 bytes of UTF-8 and makes that file (256 × 名 gave an "
                  "85-character dummy); Windows refuses a name over 255 UTF-16 units");
#endif
#ifdef Q_OS_UNIX
        if (QByteArray(QTest::currentDataTag()).startsWith("non-root") && ::geteuid() == 0)
            QSKIP("root passes every permission check");
#endif
        const QTemporaryDir tmp;
        const auto p = [&](const QString &n) { return QDir::toNativeSeparators(tmp.filePath(n)); };
        for (const char *name : {"src.txt", ".hidden.txt", "taken.txt", "sub/x", "locked/x"})
            makeFile(p(name), qstrlen(name), name, QDateTime({2021, 11, 22}, {23, 58, 59}));
        QFile::setPermissions(p("locked"), QFile::ReadOwner);
        const auto unlock = qScopeGuard([&] {
            QFile::setPermissions(p("locked"),
                                  QFile::WriteOwner | QFile::ReadOwner | QFile::ExeOwner);
        });
#ifdef Q_OS_WIN
        QVERIFY(SetFileAttributesW(makeFile(p("system.txt")).toStdWString().c_str(),
                                   FILE_ATTRIBUTE_SYSTEM));
        // A dot name is not hidden by itself here.
        QVERIFY(SetFileAttributesW(p(".hidden.txt").toStdWString().c_str(), FILE_ATTRIBUTE_HIDDEN));
#endif
        QVERIFY(QFile::link(p("src.txt"), p("link.txt")));
        // A .lnk shortcut (Windows) is a file of its own, with its own size and time.
        const bool linkIsFile = QFileInfo(p("link.txt")).isShortcut();
        QVERIFY(QFile::link(p("nowhere"), p("dangling")));
#ifdef Q_OS_UNIX
        QVERIFY(::mkfifo(qPrintable(p("fifo")), 0600) == 0 && QFile::link("/dev/null", p("null")));
#endif
        int got = 0;
        DummyRefusal why = DummyRefusal::Exists;
        const SyscallFaults failing(faults);
        try {
            got = MakeDummy(p(source), p(dummy), 255, true, {}, &why);
        } catch (const FileError &e) {
            const bool told = !e.reason().isEmpty() && whatText(e) == p(dummy) + ": " + e.reason();
            got = e.path() == p(dummy) && told ? kThrows : kThrows - 1;
        }
        QVERIFY(failing.allMet());
        QCOMPARE(got, result);
        QCOMPARE(int(why), int(refusal));
        for (const char *name : {"src.txt", ".hidden.txt", "taken.txt", "sub/x"})
            QCOMPARE(readFile(p(name)), QByteArray(name));
        QVERIFY(!QFileInfo::exists(p("nowhere")) && !QFileInfo::exists(p("nosub")));
        QCOMPARE(QFileInfo::exists(p("out.txt")), result == 0);
        const QByteArray record = readFile(p("out.txt"));
        if (result == 0 && linkIsFile && source == "link.txt")
            QCOMPARE(record.first(8) + record.sliced(34), kHead + "\xFF\x01    ");
        else if (result == 0)
            QCOMPARE(record, kHead + "00000007    20211122235859\xFF\x01    ");
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
