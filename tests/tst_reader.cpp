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

    // Files of each name and size in a new folder, modified at Noon.
    QStringList files(const QStringList &names, const QList<qint64> &sizes)
    {
        const QString folder = m_tmp.filePath(QString::number(++m_folders)) + "/";
        QStringList paths;
        for (const qint64 size : sizes) {
            for (const QString &name : names)
                paths << makeFile(folder + QString::number(size) + "/" + name, size, "x", Noon);
        }
        return paths;
    }

    // Checks that every row the intake makes of paths, in each locale with each prefix and
    // the size in the name, reads back as its source: from the record made for it, or with
    // made, also without the size, from the dummy the maker writes in a new folder.
    void readsBack(const QStringList &paths, const QList<QLocale> &locales,
                   const QStringList &prefixes, bool made = false)
    {
        const QList<SizeCheckState> sizeChecks =
            made ? QList{SizeCheckState::Off, SizeCheckState::On} : QList{SizeCheckState::On};
        for (const QLocale &locale : locales) {
            for (const QString &prefix : prefixes) {
                for (const SizeCheckState sizeCheck : sizeChecks) {
                    const QString out = made ? m_tmp.filePath(QString::number(++m_folders)) : "";
                    QVERIFY(!made || QDir().mkpath(out));
                    MakeList list;
                    AddDroppedFiles(list, {!made, out, prefix, sizeCheck}, QStringList{""} + paths,
                                    locale);
                    for (int r = 1; r <= list.count(); ++r) {
                        const MakeItem &row = list.item(r);
                        const QString &name = row.FileName, dummy = out + "/" + name;
                        const qint64 size = QFileInfo(row.Tag).size();
                        QByteArray bytes =
                            DummyHeader::make(size, Noon, quint8(row.InitialLen), row.SizeAdd)
                                .toBytes();
                        if (made) {
                            MakeDummy(row.Tag, dummy, row.InitialLen, row.SizeAdd);
                            bytes = readFile(dummy);
                        }
                        QString got, at = locale.name() + " " + name + ": ";
                        const auto info = parseDummy(bytes, name, got);
                        if (info)
                            got = info->sourceName + " " + QString::number(info->size) + " " +
                                  info->modified.toUTC().toString(Qt::ISODate);
                        QCOMPARE(at + got, at + QFileInfo(row.Tag).fileName() + " " +
                                               QString::number(row.SizeAdd ? size : quint32(size)) +
                                               " 2023-11-05T12:34:56Z");
                    }
                }
            }
        }
    }

private slots:
    // Made through the intake and the maker, every dummy gives back its source's name and size.
    void roundTrip()
    {
        const QStringList names{"a.b.tar.gz", "README", "scan(123).pdf",   "x().txt",
                                "v(1,000)",   "a.b(5)", "写真 2024年.jpeg"};
        for (const qint64 size : {0ll, 1ll, 999ll, 1000ll, Big})
            readsBack(files(names, {size}),
                      {QLocale("en_US"), QLocale("ja_JP"), QLocale("de_DE"), QLocale("fr_FR")},
                      {"", "v1.0_", "("}, true);
    }

    // Only the bracket pair before the last "." (or ending a name with none) is the size:
    // every name of up to 4 look-alike characters (dots, brackets, digits, ",") has one
    // reading, and so has the size in every locale's digits and separators.
    void noNameIsAmbiguous()
    {
        QStringList names{""};
        for (qsizetype from = 0; names[from].size() < 4; ++from) {
            for (const QChar c : QString("a.(),5"))
                names << names[from] + c;
        }
        for (const char *odd : {"", ".", ".."})
            names.removeAll(odd);
#ifdef Q_OS_WIN
        names.removeIf([](const QString &n) { return n.endsWith(u'.'); }); // no such file here
#endif
        readsBack(files(names, {0, 5, 1005}), {QLocale("en_US"), QLocale("de_DE")}, {"", "(.5"});
        readsBack(files({"a.b"}, {1234, 1234567, Big * 1000 + 7}),
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
        const auto row = [&good](const char *tag, const QString &reason, int at = 0,
                                 const QByteArray &part = {}, const char *name = "P_a(1,234).txt",
                                 const char *kind = "file", const char *faults = "") {
            QTest::newRow(tag) << QString(kind) << QByteArray(good).replace(at, part.size(), part)
                               << QString(name) << QByteArray(faults) << reason;
        };
        const auto file = [&row](const char *tag, const char *kind, const QString &reason,
                                 const char *faults = "") {
            row(tag, reason, 0, {}, "P_a(1,234).txt", kind, faults);
        };
        row("a dummy of any version", "", 5, "\xFF\xFF\xFF");
        QTest::newRow("short") << "file" << good.left(39) << "P_a(1,234).txt" << QByteArray()
                               << "length 39";
        row("long", "length 41", 40, " ");
        row("signature", "signature", 0, "*PBx");
        row("byte 4", "byte 4", 4, "\x01");
        row("lower-case hex", "size digits", 8, "000004d2");
        row("reserved 16", "reserved bytes 16-19", 19, QByteArray(1, '\0'));
        row("month 13", "time stamp", 24, "13");
        row("30 February", "time stamp", 24, "0230");
        row("sign in the time", "time stamp", 20, "+023");
        row("size flag 2", "size flag", 35, "\x02");
        row("reserved 36", "reserved bytes 36-39", 39, "x");
        row("size disagrees", "size in name", 0, {}, "P_a(1,235).txt");
        row("size not before the dot", "size in name", 0, {}, "P_a(1,234)x.txt");
        row("size at the end after a dot", "size in name", 0, {}, "P_a.txt(1,234)");
        row("groups of two", "size in name", 0, {}, "P_a(12,34).txt");
        row("largest size", "", 8, "FFFFFFFF", "P_a(9,223,372,036,854,775,807).txt");
        row("size beyond 63 bits", "size in name", 8, "00000000",
            "P_a(9,223,372,036,854,775,808).txt");
        row("prefix takes the whole name", "prefix length", 34, "\x07");
        file("5000 bytes", "long", "length 5000");
        file("folder", "folder", "not a file");
#ifdef Q_OS_UNIX
        file("link to /dev/zero", "zero", "not a file");
        file("FIFO", "fifo", "not a file");
        file("non-root: unreadable", "unreadable", systemReason(EACCES));
#endif
        if (!SyscallFaults::supported())
            return;
        file("replaced by a FIFO after the look", "file", "not a file", "open#1=fifo");
        file("open fails", "file", systemReason(EIO), "open#1=EIO");
        file("fstat fails", "file", "not a file", "fstat#1=EIO");
        file("read fails", "file", systemReason(EIO), "read#1=EIO");
        file("short reads", "file", "", "read#1=short read#2=short read#3=short");
        file("read interrupted", "file", "", "read#1=EINTR");
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
        if (kind == "file" || kind == "unreadable" || kind == "long")
            makeFile(path, kind == "long" ? 5000 : bytes.size(), bytes);
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
