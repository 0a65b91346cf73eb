#include "dummy/DummyReader.h"
#include "dummy/FileError.h"
#include "dummy/modMain.h"
#include "makelist/Intake.h"
#include "syscallfault.h"
#include "testutil.h"

#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace
{
const QDateTime Noon(QDate(2023, 11, 5), QTime(12, 34, 56));
const qint64 Big = (qint64(1) << 32) + 1;
} // namespace

class TestReader : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    int m_folders = 0;

    // Checks that every row the intake makes of files of each name and size (modified at Noon),
    // in each locale with each prefix and the size in the name, reads back as its source: from
    // the record made for it, or with made, also without the size, from the dummy the maker
    // writes in a new folder.
    void readsBack(const QStringList &names, const QList<qint64> &sizes,
                   const QList<QLocale> &locales, const QStringList &prefixes, bool made = false)
    {
        const QList<SizeCheckState> sizeChecks =
            made ? QList{SizeCheckState::Off, SizeCheckState::On} : QList{SizeCheckState::On};
        const auto folder = [this] { return m_tmp.filePath(QString::number(++m_folders)); };
        for (const qint64 size : sizes) {
            QStringList paths{""};
            const QString in = folder();
            for (const QString &name : names)
                paths << makeFile(in + "/" + name, size, "x", Noon);
            for (const QLocale &locale : locales)
                for (const QString &prefix : prefixes)
                    for (const SizeCheckState sizeCheck : sizeChecks) {
                        const QString out = made ? folder() : "";
                        QVERIFY(!made || QDir().mkpath(out));
                        MakeList list;
                        AddDroppedFiles(list, {!made, out, prefix, sizeCheck}, paths, locale);
                        for (int r = 1; r <= list.count(); ++r) {
                            const MakeItem &row = list.item(r);
                            const QString dummy = out + "/" + row.FileName;
                            if (made)
                                MakeDummy(row.Tag, dummy, row.InitialLen, row.SizeAdd);
                            const QByteArray bytes =
                                made ? readFile(dummy)
                                     : DummyHeader::make(size, Noon, quint8(row.InitialLen),
                                                         row.SizeAdd)
                                           .toBytes();
                            QString got, at = locale.name() + " " + row.FileName + ": ";
                            if (const auto info = parseDummy(bytes, row.FileName, got))
                                got = info->sourceName + " " + QString::number(info->size) + " " +
                                      info->modified.toUTC().toString(Qt::ISODate);
                            QCOMPARE(at + got,
                                     at + QFileInfo(row.Tag).fileName() + " " +
                                         QString::number(row.SizeAdd ? size : quint32(size)) +
                                         " 2023-11-05T12:34:56Z");
                        }
                    }
        }
    }

private slots:
    // Made through the intake and the maker, every dummy gives back its source's name and size.
    // Only the bracket pair before the last "." (or ending a name with none) is the size:
    // every name of up to 4 look-alike characters (dots, brackets, digits, ",") has one
    // reading, and so has the size in every locale's digits and separators.
    void roundTrip()
    {
        readsBack({"a.b.tar.gz", "README", "scan(123).pdf", "x().txt", "v(1,000)", "a.b(5)",
                   "写真 2024年.jpeg"},
                  {0, 1, 999, 1000, Big},
                  {QLocale("en_US"), QLocale("ja_JP"), QLocale("de_DE"), QLocale("fr_FR")},
                  {"", "v1.0_", "("}, true);
        QStringList names{""};
        for (qsizetype from = 0; names[from].size() < 4; ++from)
            for (const QChar c : QString("a.(),5"))
                names << names[from] + c;
        for (const char *odd : {"", ".", ".."})
            names.removeAll(odd);
#ifdef Q_OS_WIN
        names.removeIf([](const QString &n) { return n.endsWith(u'.'); }); // no such file here
#endif
        readsBack(names, {0, 5, 1005}, {QLocale("en_US"), QLocale("de_DE")}, {"", "(.5"});
        readsBack({"a.b"}, {1234, 1234567, Big * 1000 + 7},
                  QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                           QLocale::AnyTerritory),
                  {"p"});
    }

    // A dummy's record is parsed strictly, and only regular files are read, only as much as
    // a record: nothing blocks or runs on. A read that fails says why.
    void read_data()
    {
        QTest::addColumn<QString>("kind"); // what is at the path
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("faults");
        QTest::addColumn<QString>("reason"); // empty: a dummy
        const QByteArray good = DummyHeader::make(1234, Noon, 2, true).toBytes();
        const auto row = [](const char *tag, const QString &reason, const QByteArray &bytes,
                            const char *name = "P_a(1,234).txt", const char *kind = "file",
                            const char *faults = "") {
            QTest::newRow(tag) << QString(kind) << bytes << QString(name) << QByteArray(faults)
                               << reason;
        };
        const auto set = [&good](int at, const QByteArray &part) {
            return QByteArray(good).replace(at, part.size(), part);
        };
        const char *name = "P_a(1,234).txt";
        row("a dummy of any version", "", set(5, "\xFF\xFF\xFF"));
        row("short", "length 39", good.left(39));
        row("long", "length 41", good + " ");
        row("5000 bytes", "length 5000", good.repeated(125));
        row("signature", "signature", set(0, "*PBx"));
        row("byte 4", "byte 4", set(4, "\x01"));
        row("lower-case hex", "size digits", set(8, "000004d2"));
        row("reserved 16", "reserved bytes 16-19", set(19, QByteArray(1, '\0')));
        row("month 13", "time stamp", set(24, "13"));
        row("30 February", "time stamp", set(24, "0230"));
        row("sign in the time", "time stamp", set(20, "+023"));
        row("size flag 2", "size flag", set(35, "\x02"));
        row("reserved 36", "reserved bytes 36-39", set(39, "x"));
        row("size disagrees", "size in name", good, "P_a(1,235).txt");
        row("size not before the dot", "size in name", good, "P_a(1,234)x.txt");
        row("size at the end after a dot", "size in name", good, "P_a.txt(1,234)");
        row("groups of two", "size in name", good, "P_a(12,34).txt");
        row("largest size", "", set(8, "FFFFFFFF"), "P_a(9,223,372,036,854,775,807).txt");
        row("size beyond 63 bits", "size in name", set(8, "00000000"),
            "P_a(9,223,372,036,854,775,808).txt");
        row("prefix takes the whole name", "prefix length", set(34, "\x07"));
        row("folder", "not a file", good, name, "folder");
#ifdef Q_OS_UNIX
        row("link to /dev/zero", "not a file", good, name, "zero");
        row("FIFO", "not a file", good, name, "fifo");
        row("non-root: unreadable", systemReason(EACCES), good, name, "unreadable");
#endif
        if (!SyscallFaults::supported())
            return;
        row("replaced by a FIFO after the look", "not a file", good, name, "file", "open#1=fifo");
        row("open fails", systemReason(EIO), good, name, "file", "open#1=EIO");
        row("fstat fails", "not a file", good, name, "file", "fstat#1=EIO");
        row("read fails", systemReason(EIO), good, name, "file", "read#1=EIO");
        row("short reads", "", good, name, "file", "read#1=short read#2=short read#3=short");
        row("read interrupted", "", good, name, "file", "read#1=EINTR");
    }

    void read()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, name);
        QFETCH(QByteArray, faults);
        QFETCH(QString, reason);
        const QTemporaryDir tmp;
        const QString path = kind == "folder" ? tmp.path() : tmp.filePath(name);
        if (kind == "file" || kind == "unreadable")
            makeFile(path, bytes.size(), bytes);
#ifdef Q_OS_UNIX
        if (kind == "unreadable" && ::geteuid() == 0)
            QSKIP("root passes every permission check");
        QVERIFY(kind != "unreadable" || QFile::setPermissions(path, QFile::WriteOwner));
        QVERIFY(kind != "zero" || QFile::link("/dev/zero", path));
        QVERIFY(kind != "fifo" || ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
#endif
        QString got;
        const SyscallFaults failing(faults);
        const std::optional<DummyInfo> info = readDummy(path, got);
        QVERIFY(failing.allMet());
        QCOMPARE(got, reason);
        QCOMPARE(bool(info), reason.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestReader)
#include "tst_reader.moc"
