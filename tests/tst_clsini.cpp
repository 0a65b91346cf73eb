#include "dummy/FileError.h"
#include "settings/ClsIni.h"
#include "syscallfault.h"
#include "testutil.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

static const QByteArray kOld = "[S]\nK=old\n;"; // what most files hold before a save

struct Save {          // PutIni(section, key, value) on what is at the settings path
    QByteArray before; // in the file; missing when empty
    QByteArray after;  // empty: refused
    QString section = "S", key = "K", value = "NEW";
    QString reason = "?";   // why refused; "?": any reason
    QString got = "DEF";    // what GetIni("S", "K") reads before
    QString kind = "file";  // what is at the path
    QByteArray faults = {}; // system calls that fail (syscallfault.h)
};
Q_DECLARE_METATYPE(Save)

class TestClsIni : public QObject
{
    Q_OBJECT

private slots:
    void put_data()
    {
        QTest::addColumn<Save>("save");
        const auto edit = &QTest::newRow;
        // Section "[S]" (or "[s]") and key "K" (or "k") as read; a value with LF is refused.
        const auto read = [](const char *tag, const QByteArray &before, const char *got) {
            QTest::newRow(tag) << Save{before, {}, "S", "K", "\n", "?", got};
        };
        read("key only in other sections", "[Other]\nK=1\n[S]\nX=2\n[T]\nK=3\n[s]\nK=4\n", "DEF");
        read("empty value is not default", "[S]\nK=\n", "");
        read("key ignores case, first wins", "[S]\nk=1\nK=2\n", "1");
        read("blanks around section, key and value", " \t[ S ] ; c\n \tK \t= \t v a l \t", "v a l");
        read("first '=' splits", "[S]\nK = a=b\n", "a=b");
        read("comments, blanks and junk skipped", "[S]\n;K=1\n  # K=2\n\njunk\n; [T]\nK=3\n", "3");
        read("UTF-8 BOM", "\xEF\xBB\xBF[S]\nK=v\n", "v");
        read("empty single quotes", "[S]\nK=''\n", "");
        read("mismatched quotes kept", "[S]\nK=\"x'\n", "\"x'");
        read("NUL ends the value", QByteArray("[S]\nK= ab\0cd \n", 14), "ab");
        const QByteArray hand =
            "\xEF\xBB\xBF; settings\r\n\r\n[Other]\r\nOutPos=keep\r\n"
            "[Setting]\r\n\xFF junk\r\n  OutPos =\t old \t\r\nName=x\r\n# n=1\r\n; t=2\r\n"
            "\r\n[Last]\r\nEnd = 1";
        const auto with = [&](auto from, auto to) { return QByteArray(hand).replace(from, to); };
        const QString longPath = "/home/" + QString::fromUtf8("出力フォルダ/").repeated(43);
        const QString plain = "C:\\a;b#c=d[e]\\"; // no escapes, no comments
        edit("value only") << Save{hand, with("=\t old \t", "=\t NEW"), "SETTING", "outpos"};
        edit("254+ characters") << Save{hand, with("=\t old \t", "=\t " + longPath.toUtf8()),
                                        "Setting", "OutPos", longPath};
        edit("last line keeps no ending") << Save{hand, with("= 1", "= NEW"), "last", "end"};
        edit("after the last key") << Save{hand, with("=x\r\n", "=x\r\nA=NEW\r\n"), "Setting", "A"};
        edit("after an unended line") << Save{hand, hand + "\r\nK=NEW\r\n", "Last", "K"};
        edit("section appended") << Save{hand, hand + "\r\n[New]\r\nK=NEW\r\n", "New", "K"};
        edit("key after empty section's header") << Save{"[S]\n[T]\n", "[S]\nK=NEW\n[T]\n"};
        edit("first section only") << Save{"[S]\nA=1\n[S]\nK=1\n", "[S]\nA=1\nK=NEW\n[S]\nK=1\n"};
        edit("new file, no escapes")
            << Save{"", newFileLines("[S]\nK=" + plain.toUtf8() + "\n"), "S", "K", plain};
        // Values the reader would change are written inside one more pair of quotes.
        const auto quoted = [](const QByteArray &v) { return "[S]\nK=\"" + v + "\"\n"; };
        edit("single quotes") << Save{"[S]\n", quoted("'A'"), "S", "K", "'A'"};
        edit("double quotes") << Save{"[S]\n", quoted("\"B\""), "S", "K", "\"B\""};
        edit("blanks around") << Save{"[S]\n", quoted("\tC "), "S", "K", "\tC "};
        edit("one quote is plain") << Save{"[S]\n", "[S]\nK=\"x\n", "S", "K", "\"x"};
#ifdef Q_OS_UNIX
        edit("bytes not UTF-8") << Save{"[S]\n", "[S]\nK=/x\xff\n", "S", "K",
                                        "/x" + QString(QChar(0xDCFF))};
#else
        // A file with a UTF-8 BOM is UTF-8 throughout; any other is in the ANSI code page.
        const QByteArray sjis = "\x8f\x6f\x97\xcd"; // 出力 in code page 932
        const QByteArray ansi = "[S]\r\nA=" + sjis + "\r\n", bom = "\xEF\xBB\xBF[S]\r\n";
        edit("ANSI file kept") << Save{ansi, ansi + "K=" + sjis + "\r\n", "S", "K", "出力"};
        edit("ANSI new file") << Save{"", "[S]\r\nK=" + sjis + "\r\n", "S", "K", "出力"};
        edit("ANSI cannot hold it") << Save{"[S]\r\n", "", "S", "K", "出力ü😀"};
        edit("BOM: UTF-8") << Save{bom, bom + "K=\xc3\xbc\xf0\x9f\x98\x80\r\n", "S", "K", "ü😀"};
#endif
        edit("LF in value") << Save{hand, "", "S", "K", "x\n[T]\nK=injected"};
        edit("CR in key") << Save{hand, "", "S", "K\r"};
        edit("NUL in value") << Save{hand, "", "S", "K", QString("a") + QChar(0) + "b"};

        // K=old becomes K=NEW, or what is at the path is left as it was.
        const QByteArray big = kOld + QByteArray((16 << 20) - 11, 'x');
        const auto row = [](const char *tag, const QString &reason, const char *faults = "",
                            const char *kind = "file", const QByteArray &before = kOld) {
            const bool read = QRegularExpression("^file|ini$").match(kind).hasMatch() &&
                              !QString(kind).endsWith("use") && before.size() <= 16 << 20;
            const QByteArray after =
                reason.isEmpty() ? QByteArray(before).replace("old", "NEW") : "";
            QTest::newRow(tag) << Save{before, after, "S", "K", "NEW", reason, read ? "old" : "DEF",
                                       kind,   faults};
        };
        row("16 MiB", "", "", "file", big);
        row("above 16 MiB", "設定ファイルが大きすぎます（16 MiB を超えています）。", "", "file",
            big + "x");
        const QString notFile = "設定ファイルの場所にあるのは通常のファイルではありません。",
                      readOnly = "設定ファイルは読み取り専用です。";
        row("read-only, even for root", readOnly, "", "file read-only");
        row("no name", "設定ファイルの名前が決まっていません。", "", "no name");
        row("a folder", notFile, "", "folder");
#ifdef Q_OS_WIN
        row("device NUL", "?", "", "NUL");
        row("file in use, shared with no one", "?", "", "file in use");
#endif
#ifdef Q_OS_LINUX // where system calls can be made to fail (syscallfault.h)
        row("FIFO", notFile, "", "FIFO");
        row("non-root: link to /dev/zero", notFile, "", "link to /dev/zero");
        row("non-root: link to another user's file", readOnly, "", "link to /etc/hostname");
        row("dangling link", notFile, "", "dangling link");
        row("link to a file: kept, the file replaced", "", "", "link to t.ini");
        row("non-root: folder not writable", systemReason(EACCES), "", "file in a locked folder");
        row("open fails", systemReason(EACCES), "open#1=EACCES");
        row("fstat fails", systemReason(EIO), "fstat#1=EIO");
        row("read fails", systemReason(EIO), "read#1=EIO");
        row("short and interrupted reads", "", "read#1=short read#2=EINTR read#3=short");
        row("temporary name taken", "", "open#2=EEXIST open#3=EEXIST");
        row("temporary not made", systemReason(EACCES), "open#2=EACCES");
        row("disk full after a short write", systemReason(ENOSPC), "write#1=short write#2=ENOSPC");
        row("short and interrupted writes", "", "write#1=short write#2=EINTR write#3=short");
        row("mode not kept", systemReason(EPERM), "fchmod#1=EPERM");
        row("flush to disk fails", systemReason(EIO), "fsync#1=EIO");
        row("close fails", systemReason(EIO), "close#2=EIO");
        row("rename fails", systemReason(EXDEV), "rename#1=EXDEV");
        row("new file not written", systemReason(ENOSPC), "write#1=ENOSPC", "missing");
#endif
    }

    // Only a regular file of at most 16 MiB is read, and replaced unless read-only. A failed save
    // says why and leaves the old file and no temporary; a good one keeps the mode.
    void put()
    {
        QFETCH(Save, save);
        const QString &kind = save.kind;
        const QTemporaryDir dir;
        const QString name =
            kind == "no name" ? "" : dir.filePath(kind == "NUL" ? kind : "PORONBO.INI");
        const bool regular = kind.startsWith("file") && !save.before.isEmpty();
#ifdef Q_OS_WIN
        if (QByteArray(QTest::currentDataTag()).startsWith("ANSI") && GetACP() != 932)
            QSKIP("needs the ANSI code page 932 (under Wine: LANG=ja_JP.UTF-8)");
#else
        if ((kind.contains("locked") || kind.contains(" /")) && ::geteuid() == 0)
            QSKIP("root passes every permission check (and could replace a system file)");
        QVERIFY(kind != "FIFO" || ::mkfifo(qPrintable(name), 0600) == 0);
        QVERIFY(
            !kind.contains("link") ||
            QFile::link(kind.startsWith("dangling") ? dir.filePath("no") : kind.sliced(8), name));
        if (kind.endsWith(".ini"))
            makeFile(dir.filePath(kind.sliced(8)), save.before.size(), save.before);
#endif
        QVERIFY(kind != "folder" || QDir().mkdir(name));
        const auto write = kind.contains("read-only") ? QFile::Permissions() : QFile::WriteOwner;
        if (regular)
            QFile::setPermissions(makeFile(name, save.before.size(), save.before),
                                  write | QFile::ReadOwner | QFile::ReadGroup);
        const QFile::Permissions mode = QFileInfo(name).permissions();
        const auto all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        const QStringList entries = QDir(dir.path()).entryList(all);
        if (kind.contains("locked"))
            QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
#ifdef Q_OS_WIN
        const HANDLE inUse = kind.endsWith("use")
                                 ? CreateFileW(name.toStdWString().c_str(), GENERIC_READ, 0,
                                               nullptr, OPEN_EXISTING, 0, nullptr)
                                 : INVALID_HANDLE_VALUE;
#endif
        ClsIni i;
        i.IniName = name;
        QCOMPARE(i.GetIni("s", "k", "DEF"), save.got);
        QVERIFY(!i.PutIni("S", "K", "\n")); // leaves a reason to clear
        const SyscallFaults failing(save.faults);
        const bool saved = i.PutIni(save.section, save.key, save.value);
        QVERIFY(failing.allMet());
#ifdef Q_OS_WIN
        QVERIFY(kind.endsWith("use") == (inUse != INVALID_HANDLE_VALUE && CloseHandle(inUse)));
#endif
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(saved, !save.after.isEmpty());
        QCOMPARE(save.reason == "?" && !i.LastError().isEmpty() ? "?" : i.LastError(),
                 saved ? "" : save.reason);
        QCOMPARE(QDir(dir.path()).entryList(all),
                 saved && entries.isEmpty() ? QStringList{"PORONBO.INI"} : entries);
        QCOMPARE(QFileInfo(name).isSymLink(), kind.contains("link"));
        QVERIFY(!regular || QFileInfo(name).permissions() == mode);
        if (regular || saved)
            QCOMPARE(readFile(name), saved ? save.after : save.before);
        if (saved)
            QCOMPARE(i.GetIni(save.section, save.key, "DEF"), save.value);
    }
};

QTEST_GUILESS_MAIN(TestClsIni)
#include "tst_clsini.moc"
