#include "dummy/FileError.h"
#include "settings/ClsIni.h"
#include "syscallfault.h"
#include "testutil.h"

#include <QTemporaryDir>
#include <QTest>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

class TestClsIni : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }
    // A ClsIni for name, which holds content, or is missing when content is empty.
    ClsIni ini(const QString &name, const QByteArray &content) const
    {
        QFile::remove(path(name));
        if (!content.isEmpty())
            makeFile(path(name), content.size(), content);
        ClsIni i;
        i.IniName = path(name);
        return i;
    }

private slots:
    // Each content's section "[S]" (or "[s]") and key "K" (or "k"); "DEF" when none is found.
    void get()
    {
        const QList<std::pair<QByteArray, QString>> rows{
            {"", "DEF"},                                             // no file
            {"[Other]\nK=1\n[S]\nX=2\n[T]\nK=3\n[s]\nK=4\n", "DEF"}, // only the first [S]
            {"[S]\nK=\n", ""},
            {"[S]\nk=1\nK=2\n", "1"},
            {" \t[ S ] ; c\n \tK \t= \t v a l \t", "v a l"},
            {"[S]\nK = a=b\n", "a=b"},
            {"[S]\n;K=1\n  # K=2\n\njunk\n; [T]\nK=3\n", "3"},
            {"\xEF\xBB\xBF[S]\nK=v\n", "v"},
            {"[S]\nK= \" a b \" \n", " a b "},
            {"[S]\nK=''\n", ""},
            {"[S]\nK=\"\"x\"\"\n", "\"x\""}, // one pair only
            {"[S]\nK=\"x'\n", "\"x'"},
            {"[S]\nK=\"\n", "\""},
            {QByteArray("[S]\nK= ab\0cd \n", 14), "ab"}};
        for (const auto &[content, expected] : rows)
            QCOMPARE(content + ": " + ini("get.ini", content).GetIni("s", "K", "DEF"),
                     content + ": " + expected);
    }

    void put_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("after"); // empty: refused
        QTest::addColumn<QString>("value");
        const auto row = [](const char *tag, const QByteArray &before, const char *section,
                            const char *key, const QByteArray &after,
                            const QString &value = "NEW") {
            QTest::newRow(tag) << before << QString(section) << QString(key) << after << value;
        };
        const QByteArray hand =
            "\xEF\xBB\xBF; settings\r\n\r\n[Other]\r\nOutPos=keep\r\n"
            "[Setting]\r\n\xFF junk\r\n  OutPos =\t old \t\r\nName=x\r\n# n=1\r\n; t=2\r\n"
            "\r\n[Last]\r\nEnd = 1";
        const auto edited = [&](auto from, auto to) { return QByteArray(hand).replace(from, to); };
        const QString longPath = "/home/" + QString::fromUtf8("出力フォルダ/").repeated(43);
        const QString plain = "C:\\a;b#c=d[e]\\"; // no escapes, no comments
        row("value only", hand, "SETTING", "outpos", edited("=\t old \t", "=\t NEW"));
        row("longer than 254 characters", hand, "Setting", "OutPos",
            edited("=\t old \t", "=\t " + longPath.toUtf8()), longPath);
        row("last line keeps no ending", hand, "last", "end", edited("= 1", "= NEW"));
        row("key after last key line", hand, "Setting", "A", edited("=x\r\n", "=x\r\nA=NEW\r\n"));
        row("key after last line without ending", hand, "Last", "K", hand + "\r\nK=NEW\r\n");
        row("section appended", hand, "New", "K", hand + "\r\n[New]\r\nK=NEW\r\n");
        row("key after empty section's header", "[S]\n[T]\n", "S", "K", "[S]\nK=NEW\n[T]\n");
        row("first section only", "[S]\nA=1\n[S]\nK=1\n", "S", "K", "[S]\nA=1\nK=NEW\n[S]\nK=1\n");
        row("new file, backslashes and comment characters", "", "S", "K",
            newFileLines("[S]\nK=" + plain.toUtf8() + "\n"), plain);
        // Values the reader would change are written inside one more pair of quotes.
        const auto quoted = [](const QByteArray &v) { return "[S]\nK=\"" + v + "\"\n"; };
        row("single quotes", "[S]\n", "S", "K", quoted("'A'"), "'A'");
        row("double quotes", "[S]\n", "S", "K", quoted("\"B\""), "\"B\"");
        row("blanks around", "[S]\n", "S", "K", quoted("\tC "), "\tC ");
        row("one quote is plain", "[S]\n", "S", "K", "[S]\nK=\"x\n", "\"x");
#ifdef Q_OS_UNIX
        row("bytes not UTF-8", "[S]\n", "S", "K", "[S]\nK=/x\xff\n", "/x" + QString(QChar(0xDCFF)));
#else
        // A file with a UTF-8 BOM is UTF-8 throughout; any other is in the ANSI code page.
        const QByteArray sjis = "\x8f\x6f\x97\xcd"; // 出力 in code page 932
        row("ANSI file kept", "[S]\r\nA=" + sjis + "\r\n", "S", "K",
            "[S]\r\nA=" + sjis + "\r\nK=" + sjis + "\r\n", "出力");
        row("ANSI new file", "", "S", "K", "[S]\r\nK=" + sjis + "\r\n", "出力");
        row("ANSI cannot hold it", "[S]\r\n", "S", "K", "", "出力ü😀");
        row("BOM: UTF-8", "\xEF\xBB\xBF[S]\r\n", "S", "K",
            "\xEF\xBB\xBF[S]\r\nK=\xc3\xbc\xf0\x9f\x98\x80\r\n", "ü😀");
#endif
        row("LF in value", hand, "S", "K", "", "x\n[T]\nK=injected");
        row("CR in key", hand, "S", "K\r", "");
        row("NUL in value", hand, "S", "K", "", QString("a") + QChar(0) + "b");
    }

    // A refused write returns false with a reason and changes nothing; a good one clears it.
    void put()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QByteArray, after);
        QFETCH(QString, value);
#ifdef Q_OS_WIN
        if (QByteArray(QTest::currentDataTag()).startsWith("ANSI") && GetACP() != 932)
            QSKIP("needs the ANSI code page 932 (under Wine: LANG=ja_JP.UTF-8)");
#endif
        ClsIni i = ini("put.ini", before);
        QVERIFY(!i.PutIni("S", "K", "\n")); // leaves a reason to clear
        QCOMPARE(i.PutIni(section, key, value), !after.isEmpty());
        QCOMPARE(i.LastError().isEmpty(), !after.isEmpty());
        QCOMPARE(readFile(path("put.ini")), after.isEmpty() ? before : after);
        if (!after.isEmpty())
            QCOMPARE(i.GetIni(section, key, "DEF"), value);
    }

    // What is at the settings path and is not a regular file of at most 16 MiB reads as missing
    // and is never replaced, nor is a read-only file. A save that fails at any step says why and
    // leaves the old file byte for byte and no temporary file; one that works keeps the mode.
    void replace_data()
    {
        QTest::addColumn<QString>("kind"); // what is at the path
        QTest::addColumn<QByteArray>("faults");
        QTest::addColumn<QString>("reason"); // empty when saved, "?" for any
        const auto row = [](const char *tag, const char *kind, const QString &reason,
                            const char *faults = "") {
            QTest::newRow(tag) << QString(kind) << QByteArray(faults) << reason;
        };
        const QString notFile = "設定ファイルの場所にあるのは通常のファイルではありません。";
        row("16 MiB", "16 MiB", "");
        row("above 16 MiB", "above 16 MiB",
            "設定ファイルが大きすぎます（16 MiB を超えています）。");
        row("a folder", "folder", notFile);
        row("read-only, even for root", "read-only", "設定ファイルは読み取り専用です。");
        row("no name", "no name", "設定ファイルの名前が決まっていません。");
        row("folder missing", "folder missing", "?");
#ifdef Q_OS_UNIX
        row("FIFO", "FIFO", notFile);
        row("link to /dev/zero", "link to /dev/zero", notFile);
        row("dangling link", "dangling link", notFile);
        row("non-root: folder not writable", "locked folder", systemReason(EACCES));
#endif
        if (!SyscallFaults::supported())
            return;
        const auto fault = [&](const char *tag, int error, const char *faults) {
            row(tag, "file", error ? systemReason(error) : "", faults);
        };
        fault("open fails", EACCES, "open#1=EACCES");
        fault("fstat fails", EIO, "fstat#1=EIO");
        fault("read fails", EIO, "read#1=EIO");
        fault("short and interrupted reads", 0, "read#1=short read#2=EINTR read#3=short");
        fault("temporary name taken", 0, "open#2=EEXIST open#3=EEXIST");
        fault("temporary not made", EACCES, "open#2=EACCES");
        fault("disk full after a short write", ENOSPC, "write#1=short write#2=ENOSPC");
        fault("short and interrupted writes", 0, "write#1=short write#2=EINTR write#3=short");
        fault("mode not kept", EPERM, "fchmod#1=EPERM");
        fault("flush to disk fails", EIO, "fsync#1=EIO");
        fault("close fails", EIO, "close#2=EIO");
        fault("rename fails", EXDEV, "rename#1=EXDEV");
        row("new file not written", "missing", systemReason(ENOSPC), "write#1=ENOSPC");
    }

    void replace()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, faults);
        QFETCH(QString, reason);
        const QTemporaryDir dir;
        const QString name = kind == "no name"          ? ""
                             : kind == "folder missing" ? dir.filePath("no/PORONBO.INI")
                                                        : dir.filePath("PORONBO.INI");
        const QByteArray content =
            "[S]\nK=old\n;" +
            QByteArray(kind.endsWith("MiB") ? (16 << 20) - 11 + kind.startsWith("above") : 20, 'x');
        const bool regular =
            QStringList{"file", "16 MiB", "above 16 MiB", "read-only", "locked folder"}.contains(
                kind);
#ifdef Q_OS_UNIX
        if (kind == "locked folder" && ::geteuid() == 0)
            QSKIP("root passes every permission check");
        QVERIFY(kind != "FIFO" || ::mkfifo(qPrintable(name), 0600) == 0);
        QVERIFY(!kind.contains("link") ||
                QFile::link(kind.startsWith("dangling") ? dir.filePath("no") : "/dev/zero", name));
#endif
        QVERIFY(kind != "folder" || QDir().mkdir(name));
        const auto owner =
            kind == "read-only" ? QFile::ReadOwner : QFile::ReadOwner | QFile::WriteOwner;
        if (regular)
            QFile::setPermissions(makeFile(name, content.size(), content),
                                  owner | QFile::ReadGroup);
        const QFile::Permissions mode = QFileInfo(name).permissions(),
                                 open = QFile::permissions(dir.path());
        const auto all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        const QStringList before = QDir(dir.path()).entryList(all);
        if (kind == "locked folder")
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
        ClsIni i;
        i.IniName = name;
        QCOMPARE(i.GetIni("S", "K", "DEF"), regular && !kind.startsWith("above") ? "old" : "DEF");
        const SyscallFaults failing(faults);
        const bool saved = i.PutIni("S", "K", "new");
        QVERIFY(failing.allMet());
        QFile::setPermissions(dir.path(), open);
        QCOMPARE(saved, reason.isEmpty());
        QCOMPARE(i.LastError().isEmpty(), saved);
        QCOMPARE(reason == "?" ? reason : i.LastError(), reason);
        QCOMPARE(QDir(dir.path()).entryList(all), before); // no temporary file left behind
        QCOMPARE(QFileInfo(name).isSymLink(), kind.contains("link"));
        QVERIFY(!regular || QFileInfo(name).permissions() == mode);
        QVERIFY(!regular ||
                readFile(name) == (saved ? QByteArray(content).replace("old", "new") : content));
    }
};

QTEST_GUILESS_MAIN(TestClsIni)
#include "tst_clsini.moc"
