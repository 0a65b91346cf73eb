#include "dummy/modMain.h"
#include "fs/FileError.h"
#include "fs/FileSystem.h"
#include "fs/PathCodec.h"
#include "fs/PathInput.h"
#include "syscallfault.h"
#include "testutil.h"

#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

// The first 8 bytes of every record (version 0.2.0).
static const QByteArray kHead = "*PBX" + QByteArray::fromHex("00000200");
// A link to src.txt: on Windows a .lnk shortcut, a file of its own.
static const QString kLink = QDir::separator() == '\\' ? "link.lnk" : "link.txt";
#ifdef Q_OS_WIN
static const QString kDeep = QString(130, 'd') + "/" + QString(130, 'e') + "/"; // 260 and more
#endif

class TestDummy : public QObject
{
    Q_OBJECT

private slots:
    // Names as bytes: undecodable bytes survive the round trip; no system call sees a NUL, nor (on
    // Unix) a surrogate no name can hold.
    void pathCodec()
    {
        QList<std::pair<QByteArray, QStringView>> rows{
            {"/d/日本😀𠮷\U000E0100.txt", u"/d/日本😀𠮷\U000E0100.txt"},
            {"\xdf\xbf\xe0\xa0\x80\xef\xbf\xbf", u"\u07FF\u0800\uFFFF"}};
#ifdef Q_OS_UNIX
        // A byte that is not part of valid UTF-8 is U+DC00 plus the byte.
        rows += {{"\xff\xfe.bin", u"\xDCFF\xDCFE.bin"},
                 {"\x95\x5c.txt", u"\xDC95\\.txt"},
                 {"\xe6\x97x", u"\xDCE6\xDC97x"},
                 {"\xc0\xaf", u"\xDCC0\xDCAF"},
                 {"\xed\xb2\x80", u"\xDCED\xDCB2\xDC80"},
                 { "\xf4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80" }};
        const QTemporaryDir tmp;
#endif
        for (const auto &[bytes, view] : rows) {
            const QString decoded = view.toString();
            QCOMPARE(decodePath(bytes), decoded);
            QCOMPARE(systemPath(decoded).value_or("<refused>"), bytes);
            const QString start = QDir::rootPath() + "x" + decoded; // a dialog's start folder
            QCOMPARE(decodeFileUrl(fileUrl(start)), QDir::toNativeSeparators(start));
            QVERIFY(!systemPath(decoded + QChar(0)) && !systemPath(QString()));
#ifdef Q_OS_UNIX
            for (const char16_t lone : {0xD800, 0xDC41, 0xDC7F}) // no escaped byte: no name
                QVERIFY(!systemPath(decoded + QChar(lone)));
            // The folder a link points into, mostly longer than a first read of the link takes.
            const QString link = tmp.filePath(QString::number(qHash(bytes)));
            QVERIFY(::symlink(bytes.repeated(100) + "/program", QFile::encodeName(link)) == 0);
            QCOMPARE(linkTargetFolder(link), decoded.repeated(100));
#endif
        }
    }

    // A file URL names a local file (its path here) only with a full path, no host but localhost.
    void fileUrls()
    {
        const bool win = QDir::separator() == u'\\';
        const QList<std::pair<const char *, QString>> rows{
            {"file:///tmp/a%20b.txt", win ? "" : "/tmp/a b.txt"},
            {"file://LocalHost/C:/a.txt", win ? "C:\\a.txt" : "/C:/a.txt"},
            {"file://tmp/a.txt", win ? "\\\\tmp\\a.txt" : ""}, // host "tmp": a network share
            {"file:a.txt", ""},
            {"file:///C:a.txt", win ? "" : "/C:a.txt"}, // drive-relative
            {"file:///a%00b", ""}};
        for (const auto &[url, path] : rows)
            QCOMPARE(decodeFileUrl(QUrl::fromEncoded(url)), path);
    }

    // errno and Win32 codes of one number are told apart, each with the system's own text.
    void systemError()
    {
        const bool windows = QDir::separator() == '\\';
        using E = SystemError;
        const auto err = &E::errnoCode;
        for (const auto &[error, notFound, denied] : QList<std::tuple<E, bool, bool>>{
                 {err(ENOENT), true, false},
                 {err(EACCES), false, true},
                 {err(EIO), false, false},
                 {E::win32Code(2), windows, false}, // ERROR_FILE_NOT_FOUND
                 {E::win32Code(3), windows, false}, // ERROR_PATH_NOT_FOUND
                 {E::win32Code(5), false, windows}, // ERROR_ACCESS_DENIED
                 {E::win32Code(13), false, false}}) // ERROR_INVALID_DATA; EACCES as errno
            QVERIFY2(error.isNotFound() == notFound && error.isAccessDenied() == denied &&
                         !error.text().isEmpty(),
                     qPrintable(QString::number(error.code())));
        QCOMPARE(err(EACCES).text(), QString::fromLocal8Bit(std::strerror(EACCES)));
        // Windows' own words, not the errno ones nor a number.
        QVERIFY(!windows || (E::win32Code(13).text() != err(13).text() &&
                             !E::win32Code(5).text().contains('5')));
    }

#ifdef Q_OS_WIN
    // Names ending in a dot or a space are made and read as written; Windows would cut the end.
    void exactNames()
    {
        const QTemporaryDir tmp;
        const auto p = [&](const QString &n) { return QDir::toNativeSeparators(tmp.filePath(n)); };
        makeFile(p("src.txt"), 7);
        QCOMPARE(MakeDummy(p("src.txt"), p("a. "), 0, false), DummyMade);
        QCOMPARE(MakeDummy(p("a. "), p("b."), 0, false), DummyMade);
        QCOMPARE(QDir(tmp.path()).entryList(QDir::Files), QStringList({"a. ", "b.", "src.txt"}));
        for (const QString name : {"a. ", "b."}) // QTemporaryDir removes by the cut name
            QVERIFY(DeleteFileW(("\\\\?\\" + p(name)).toStdWString().c_str()));
    }
#endif

    void make_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("dummy");
        QTest::addColumn<int>("result"); // > 0: a FileError with that errno's text
        QTest::addColumn<DummyRefusal>("refusal");
        QTest::addColumn<QByteArray>("faults"); // system calls that fail (syscallfault.h)
        using R = DummyRefusal;
        const auto row = [](const char *name, const QString &source, const QString &dummy,
                            int result, R refusal = R::None, const QByteArray &faults = {}) {
            QTest::newRow(name) << source << dummy << result << refusal << faults;
        };
        row("made, umask 0", "src.txt", "out.txt", 0);
        row("made, umask 027", "src.txt", "out.txt", 0);
        row("made from a link to a file", kLink, "out.txt", 0);
        row("source missing", "nosuch.txt", "out.txt", -1, R::SourceMissing);
        row("source hidden", ".hidden.txt", "out.txt", -1, R::SourceHidden);
        row("source is a folder", "sub", "out.txt", -1, R::SourceNotFile);
#ifdef Q_OS_WIN
        row("source is a system file", "sys", "out.txt", -1, R::SourceHidden);
        // Windows takes a path over 260 characters only behind \\?\ (Wine takes any).
        row("long paths", kDeep + "src.txt", kDeep + "out.txt", 0);
        // The long form would make a file of a device's name, which Explorer cannot remove.
        row("device name", "src.txt", "nul.txt", -2, R::FolderMissing);
#endif
        row("wildcard is literal", "src*.txt", "out.txt", -1, R::SourceMissing);
        row("folder missing", "src.txt", "nosub/out.txt", -2, R::FolderMissing);
        row("source decides before folder", "nosuch.txt", "nosub/out.txt", -1, R::SourceMissing);
        row("visible file exists", "src.txt", "taken.txt", -3, R::Exists);
        row("folder exists", "src.txt", "sub", -3, R::Exists);
        row("dangling link exists", "src.txt", "dangling", -3, R::Exists);
        // Only a file holding exactly the record this call writes was made already.
        row("made already", "src.txt", "made", -3, R::AlreadyMade);
        row("another record", "src.txt", "made by 254", -3, R::Exists);
        row("a link to one made", "src.txt", "link to made", -3, R::Exists);
        row("folder part is a plain file", "src.txt", "src.txt/out.txt", -2, R::FolderNotFolder);
        // A name holds 255 UTF-16 units on Windows, 255 bytes elsewhere.
        row("name too long", "src.txt", QString(256, u'名'), ENAMETOOLONG);
        row("NUL in source", "src.txt" + QString(QChar(0)), "out.txt", -1, R::SourceMissing);
        row("NUL in dummy", "src.txt", "out.txt" + QString(QChar(0)) + "/x", -2, R::FolderMissing);
#ifdef Q_OS_LINUX // where system calls can be made to fail (syscallfault.h)
        row("source is a FIFO", "fifo", "out.txt", -1, R::SourceNotFile);
        row("a FIFO where the dummy goes", "src.txt", "fifo", -3, R::Exists);
        row("non-root: source behind a locked folder", "locked/x", "out.txt", -1,
            R::SourceInaccessible);
        row("non-root: folder not searchable", "src.txt", "locked/out.txt", -2,
            R::FolderInaccessible);
        row("create refused", "src.txt", "out.txt", EACCES, R::None, "open#1=EACCES");
        row("disk full after a short write", "src.txt", "out.txt", ENOSPC, R::None,
            "write#1=short write#2=ENOSPC");
        row("interrupted and short writes to the last byte", "src.txt", "out.txt", 0, R::None,
            "write#1=EINTR write#2=short write#3=short write#4=short write#5=short write#6=short");
        row("close fails", "src.txt", "out.txt", EIO, R::None, "close#1=EIO");
#endif
    }

    // Nothing existing is ever changed. A dummy is made only for result 0.
    void make()
    {
        QFETCH(QString, source);
        QFETCH(QString, dummy);
        QFETCH(QByteArray, faults);
        QFETCH(int, result);
        for (int len : {-1, 256}) // a prefix length checked before any look at the disk
            QVERIFY_THROWS_EXCEPTION(std::invalid_argument, MakeDummy({}, {}, len, false));
        const QTemporaryDir tmp;
        const auto p = [&](const QString &n) { return QDir::toNativeSeparators(tmp.filePath(n)); };
        for (const char *name : {"src.txt", ".hidden.txt", "taken.txt", "sub/x", "locked/x", "sys"})
            makeFile(p(name), qstrlen(name), name, QDateTime({2021, 11, 22}, {23, 58, 59}));
        QVERIFY(QFile::link(p("src.txt"), p(kLink)) && QFile::link(p("no"), p("dangling")));
        for (const int len : {255, 254})
            MakeDummy(p("src.txt"), p(len == 255 ? "made" : "made by 254"), len, true);
        QVERIFY(QFile::link(p("made"), p("link to made")));
        QByteArray fields = "00000007    20211122235859"; // src.txt's size and time
#ifdef Q_OS_WIN
        if (underWine() && QTest::currentDataTag() == QByteArray("name too long"))
            QSKIP("Wine cuts the name at 255 bytes of UTF-8 and makes that file");
        QVERIFY(SetFileAttributesW(p("sys").toStdWString().c_str(), FILE_ATTRIBUTE_SYSTEM));
        // A dot name is not hidden by itself here.
        QVERIFY(SetFileAttributesW(p(".hidden.txt").toStdWString().c_str(), FILE_ATTRIBUTE_HIDDEN));
        makeFile(p(kDeep + "src.txt"), 7, "x", QDateTime({2021, 11, 22}, {23, 58, 59}));
        QFile lnk(p(kLink)); // QFileInfo would follow the shortcut
        QVERIFY(lnk.open(QIODevice::ReadWrite) &&
                lnk.setFileTime(QDateTime({2020, 1, 2}, {}), QFileDevice::FileModificationTime));
        if (source == kLink)
            fields =
                QByteArray::number(lnk.size(), 16).rightJustified(8, '0') + "    20200102000000";
        lnk.close();
#else
        if (QByteArray(QTest::currentDataTag()).startsWith("non-root") && ::geteuid() == 0)
            QSKIP("root passes every permission check");
        QVERIFY(::mkfifo(qPrintable(p("fifo")), 0600) == 0);
        const mode_t umask = QTest::currentDataTag() == QByteArray("made, umask 0") ? 0 : 027;
        ::umask(umask);
#endif
        int got = 0;
        DummyRefusal why = DummyRefusal::Exists;
        const SyscallFaults failing(faults);
        QFile::setPermissions(p("locked"), QFile::ReadOwner); // only while it runs
        try {
            got = MakeDummy(p(source), p(dummy), 255, true, {}, &why);
        } catch (const FileError &e) { // telling which file and the system's reason
            const bool own = QDir::separator() == '\\' || e.reason() == systemReason(result);
            got = !e.reason().isEmpty() && own && whatText(e) == p(dummy) + ": " + e.reason()
                      ? result
                      : -9;
        }
        QFile::setPermissions(p("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(failing.allMet());
        QCOMPARE(got, result);
        QTEST(why, "refusal");
#ifdef Q_OS_UNIX // a new file's mode: 0666 less the umask
        struct stat st;
        QVERIFY(got || (::stat(qPrintable(p(dummy)), &st) == 0 &&
                        (st.st_mode & 07777) == (0666 & ~umask)));
#endif
        for (const char *name : {"src.txt", ".hidden.txt", "taken.txt", "sub/x"})
            QCOMPARE(readFile(p(name)), QByteArray(name));
        QVERIFY(!QFileInfo::exists(p("no")) && !QFileInfo::exists(p("nosub")));
        QCOMPARE(readFile(p(got ? "out.txt" : dummy)),
                 got ? "<unreadable>" : kHead + fields + "\xFF\x01    ");
    }
};

QTEST_GUILESS_MAIN(TestDummy)
#include "tst_dummy.moc"
