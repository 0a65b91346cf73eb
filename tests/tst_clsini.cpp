#include "fs/FileError.h"
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
#ifdef Q_OS_LINUX
#include <sys/xattr.h>
#endif

static QByteArray u16(QStringView s) // UTF-16 LE
{
    return QByteArray(reinterpret_cast<const char *>(s.utf16()), s.size() * 2);
}

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
        const QString a81 = "A" + QString(QChar(0xDC81));
        edit("ANSI: byte not decoded kept")
            << Save{"[S]\r\nK=A\x81\r\n", "[S]\r\nK=A\x81\r\n", "S", "K", a81, "", a81};
        edit("BOM: UTF-8") << Save{bom, bom + "K=\xc3\xbc\xf0\x9f\x98\x80\r\n", "S", "K", "ü😀"};
#endif
        // UTF-16 LE, and UTF-8 without a mark (Notepad's), stay so; untouched values keep their
        // bytes, those that do not decode too (read as U+DC00 + byte: no prefix takes them).
        const QByteArray utf16 = u16(u"\xFEFF[S]\r\nK = old\r\n"),
                         notepad = "[S]\r\nA=\xc3\xbc\r\n";
        edit("UTF-16 LE") << Save{utf16, u16(u"\xFEFF[S]\r\nK = 出力\r\n"), "S", "K", "出力", "",
                                  "old"};
        edit("UTF-16 LE: section added")
            << Save{utf16, utf16 + u16(u"[T]\r\nK=NEW\r\n"), "T", "K", "NEW", "", "old"};
        const QByteArray lone = u16(u"\xFEFF[S]\r\nK=") + QByteArray("\0\xD8x\0", 4);
        const QString d800 = QChar(0xD800) + QString("x");
        edit("UTF-16 LE: lone surrogate kept") << Save{lone, lone, "S", "K", d800, "", d800};
        edit("UTF-8 without BOM") << Save{notepad, notepad + "K=\xc3\xbc\r\n", "S", "K", "ü"};
        const QByteArray quotes = "[S]\nK = \"v\" \n", bomByte = "\xEF\xBB\xBF[S]\nK=\xC3x\n";
        const QString marked = QChar(0xDCC3) + QString("x");
        edit("quotes kept") << Save{quotes, quotes, "S", "K", "v", "", "v"};
        edit("BOM: byte not UTF-8 kept") << Save{bomByte, bomByte, "S", "K", marked, "", marked};
        edit("CR in key") << Save{hand, "", "S", "K\r"};
        edit("NUL in value") << Save{hand, "", "S", "K", QString("a") + QChar(0) + "b"};

        // K=old becomes K=NEW, or what is at the path is left as it was. Tags with "unreadable":
        // no later save replaces what could not be read.
        const QByteArray big = kOld + QByteArray((16 << 20) - 11, 'x');
        const auto row = [](const char *tag, const QString &reason, const char *faults = "",
                            const char *kind = "file", const QByteArray &before = kOld) {
            const bool read = QRegularExpression("^file|ini$").match(kind).hasMatch() &&
                              !QString(kind).endsWith("use") &&
                              !QString(kind).contains("no read") && before.size() <= 16 << 20;
            const QByteArray after =
                reason.isEmpty() ? QByteArray(before).replace("old", "NEW") : "";
            QTest::newRow(tag) << Save{before, after, "S", "K", "NEW", reason, read ? "old" : "DEF",
                                       kind,   faults};
        };
        row("16 MiB", "", "", "file", big);
        row("unreadable: above 16 MiB", "設定ファイルが大きすぎます（16 MiB を超えています）。", "",
            "file", big + "x");
        const QString notFile = "設定ファイルの場所にあるのは通常のファイルではありません。",
                      readOnly = "設定ファイルは読み取り専用です。";
        row("read-only, even for root", readOnly, "", "file read-only");
        row("no name", "設定ファイルの名前が決まっていません。", "", "no name");
        row("unreadable: a folder", notFile, "", "folder");
#ifdef Q_OS_WIN
        row("device NUL", "?", "", "NUL");
        row("unreadable: file in use, shared with no one", "?", "", "file in use");
#endif
#ifdef Q_OS_LINUX // where system calls can be made to fail (syscallfault.h)
        row("unreadable: FIFO", notFile, "", "FIFO");
        row("non-root: unreadable: link to /dev/zero", notFile, "", "link to /dev/zero");
        row("non-root: link to another user's file", readOnly, "", "link to /etc/hostname");
        row("non-root: unreadable: no read permission", systemReason(EACCES), "", "file no read");
        row("unreadable: dangling link", notFile, "", "dangling link");
        row("link to a file: kept, the file replaced", "", "", "link to t.ini");
        row("non-root: folder not writable: in place", "", "", "file in a locked folder");
        row("unreadable: open fails", systemReason(EACCES), "open#1=EACCES");
        row("unreadable: fstat fails", systemReason(EIO), "fstat#1=EIO");
        row("unreadable: read fails", systemReason(EIO), "read#1=EIO");
        row("short and interrupted reads", "", "read#1=short read#2=EINTR read#3=short");
        row("temporary name taken", "", "open#2=EEXIST open#3=EEXIST");
        row("temporary not made", systemReason(ENOSPC), "open#2=ENOSPC");
        edit("temporary not allowed: in place, shorter")
            << Save{"[S]\nK=older\n", "[S]\nK=NEW\n", "S", "K", "NEW", "", "older",
                    "file",           "open#2=EACCES"};
        row("in place, disk full part way: old bytes back",
            systemReason(ENOSPC) + "（元の内容に戻しました。）",
            "open#2=EPERM write#1=short write#2=ENOSPC", "file", kOld + QByteArray(16, ';'));
        row("short and interrupted writes", "", "write#1=short write#2=EINTR write#3=short");
        row("owner not kept: in place", "", "fchown#1=EPERM");
        row("mode not kept: in place", "", "fchmod#1=EPERM");
        row("extended attribute not kept: in place", "", "fsetxattr#1=ENOTSUP");
        row("flush to disk fails", systemReason(EIO), "fsync#1=EIO");
        row("close fails", systemReason(EIO), "close#2=EIO");
        row("rename fails", systemReason(EXDEV), "rename#1=EXDEV");
        row("new file, disk full after a short write", systemReason(ENOSPC),
            "write#1=short write#2=ENOSPC", "missing");
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
        if ((kind.contains("locked") || kind.contains(" /") || kind.contains("no read")) &&
            ::geteuid() == 0)
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
        const auto read =
            kind.contains("no read") ? QFile::Permissions() : QFile::ReadOwner | QFile::ReadGroup;
        if (regular)
            makeFile(name, save.before.size(), save.before);
            // Attributes to keep: another owner and group, an extended attribute; hidden, system.
#ifdef Q_OS_LINUX
        const bool xattr = regular && ::setxattr(qPrintable(name), "user.k", "v", 1, 0) == 0;
        if (save.faults.contains("xattr") && !xattr)
            QSKIP(qPrintable("no user.* extended attributes here: " + systemReason(errno)));
        QVERIFY(!regular || ::geteuid() != 0 || ::chown(qPrintable(name), 1, 65534) == 0 ||
                errno == EINVAL); // root of a user namespace of its own has no other user
#endif
#ifdef Q_OS_WIN
        constexpr DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        QVERIFY(!regular || SetFileAttributesW(name.toStdWString().c_str(), kept));
        const DWORD attributes = GetFileAttributesW(name.toStdWString().c_str()) & kept;
#endif
        if (regular)
            QFile::setPermissions(name, write | read);
        const QFile::Permissions mode = QFileInfo(name).permissions();
#ifdef Q_OS_UNIX
        struct stat st {
        };
        const auto bits = [&] {
            return ::stat(qPrintable(name), &st) == 0 ? st.st_mode & 07777 : 0;
        };
        const mode_t sticky = regular ? bits() | S_ISVTX : 0; // bits QFile::Permissions lacks
        QVERIFY(!regular || ::chmod(qPrintable(name), sticky) == 0);
#endif
        const auto owner = std::pair(QFileInfo(name).ownerId(), QFileInfo(name).groupId());
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
        const bool held = QByteArray(QTest::currentDataTag()).contains("unreadable") ||
                          (kind == "NUL" && !i.ReadError().isEmpty()); // Wine's or Windows' way
        QCOMPARE(i.ReadError().isEmpty(), !held || save.got != "DEF");
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
#ifdef Q_OS_UNIX
        QCOMPARE(regular ? bits() : 0, sticky);
#endif
        QVERIFY(!regular ||
                std::pair(QFileInfo(name).ownerId(), QFileInfo(name).groupId()) == owner);
        // Readable again, what could not be read is still never replaced.
        QVERIFY(!regular || QFile::setPermissions(name, write | QFile::ReadOwner));
        QCOMPARE(i.ReadError(), held ? i.LastError() : "");
        QVERIFY(!held || !i.PutIni(save.section, save.key, save.value));
#ifdef Q_OS_LINUX
        char value[2] = {};
        QVERIFY(!xattr || ::getxattr(qPrintable(name), "user.k", value, 2) == 1);
#endif
#ifdef Q_OS_WIN
        QVERIFY(!regular || (GetFileAttributesW(name.toStdWString().c_str()) & kept) == attributes);
#endif
        if (regular || saved)
            QCOMPARE(readFile(name), saved ? save.after : save.before);
        if (saved)
            QCOMPARE(i.GetIni(save.section, save.key, "DEF"), save.value);
    }
};

QTEST_GUILESS_MAIN(TestClsIni)
#include "tst_clsini.moc"
