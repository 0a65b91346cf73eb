#include "dummy/DummyReader.h"
#include "fs/FileError.h"
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

class TestReader : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;

    void readsBack(const QStringList &names, const QList<qint64> &sizes,
                   const QList<QLocale> &locales)
    {
        QStringList paths{""};
        for (const qint64 size : sizes)
            for (const QString &name : names)
                paths << makeFile(m_tmp.filePath(QString::number(size) + "/" + name), size);
        for (const QLocale &locale : locales)
            for (const char *prefix : {"", "(.5"})
                for (const SizeCheckState check : {SizeCheckState::Off, SizeCheckState::On}) {
                    MakeList list;
                    AddDroppedFiles(list, {true, "", prefix, check}, paths, locale);
                    for (int r = 1; r <= list.count(); ++r) {
                        const MakeItem &row = list.item(r);
                        QString got, at = locale.name() + " " + row.FileName + ": ";
                        const auto record =
                            DummyHeader::make(row.Size, {}, row.InitialLen, row.SizeAdd);
                        if (const auto info = parseDummy(record.toBytes(), row.FileName, got))
                            got = info->sourceName + " " + QString::number(info->size);
                        QCOMPARE(at + got,
                                 at + QFileInfo(row.Tag).fileName() + " " +
                                     QString::number(row.SizeAdd ? row.Size : quint32(row.Size)));
                    }
                }
    }

private slots:
    // Every row the intake makes reads back as its source: only the bracket pair before the last
    // "." (or ending a name with none) is the size, so every name of up to 4 look-alike characters
    // has one reading, and so has the size in every locale's digits and separators.
    void roundTrip()
    {
        QStringList names{""};
        for (qsizetype from = 0; names[from].size() < 4; ++from)
            for (const QChar c : QString("a.(),5"))
                names << names[from] + c;
        const bool windows = QDir::separator() == u'\\'; // where no file name ends in "."
        names.removeIf([&](const QString &n) {
            return n.isEmpty() || n == "." || n == ".." || (windows && n.endsWith(u'.'));
        });
        readsBack(names, {0, 5, 1005}, {QLocale("en_US"), QLocale("de_DE")});
        readsBack({"a.b", "写真 2024年.jpeg"}, {1234, 1234567, 4294967297007},
                  QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                           QLocale::AnyTerritory));
    }

    // Records are parsed strictly; only regular files are read, and only a record's worth.
    void read_data()
    {
        QTest::addColumn<QString>("at"); // what is at the path (/...: a link), calls that fail
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason"); // why it is no dummy
        const QByteArray good = DummyHeader::make(1234, {}, 2, true).toBytes();
        const auto row = [&good](const char *tag, const QString &why, const char *at, int pos = 0,
                                 QByteArray part = {}, const char *name = "P_a(1,234).txt") {
            part = pos < 0 ? part : QByteArray(good).replace(pos, part.size(), part); // -1: whole
            QTest::newRow(tag) << QString(at) << part << QString(name) << why;
        };
        row("a dummy of any version", "", "", 5, "\xFF\xFF\xFF");
        row("short", "length 39", "", -1, good.left(39));
        row("long", "length 42", "", -1, good + "  ");
        row("signature", "signature", "", 0, "*PBx");
        row("byte 4", "byte 4", "", 4, "\x01");
        row("lower-case hex", "size digits", "", 8, "000004d2");
        row("reserved 16", "reserved bytes 16-19", "", 19, QByteArray(1, '\0'));
        row("30 February", "time stamp", "", 24, "0230");
        row("sign in the time", "time stamp", "", 20, "+023");
        row("size flag 2", "size flag", "", 35, "\x02");
        row("reserved 36", "reserved bytes 36-39", "", 39, "x");
        row("size disagrees", "size in name", "", 0, {}, "P_a(1,235).txt");
        row("size at the end after a dot", "size in name", "", 0, {}, "P_a.txt(1,234)");
        row("groups of two", "size in name", "", 0, {}, "P_a(12,34).txt");
        row("largest size", "", "", 8, "FFFFFFFF", "P_a(9,223,372,036,854,775,807).txt");
        row("size beyond 63 bits", "size in name", "", 8, "00000000",
            "P_a(9,223,372,036,854,775,808).txt");
        row("prefix takes the whole name", "prefix length", "", 34, "\x07");
        row("folder", "not a file", "folder");
        const int noPath = QDir::separator() == '\\' ? 3 : ENOENT; // 3: ERROR_PATH_NOT_FOUND
        row("folder missing", systemReason(noPath), "missing", 0, {}, "no/a");
#ifdef Q_OS_LINUX // where system calls can be made to fail (syscallfault.h)
        row("longer, of no stated size, in short reads", "length 41",
            "/proc/version read#1=short read#2=short read#3=short read#4=short read#5=short");
        row("FIFO", "not a file", "fifo");
        row("replaced by a FIFO after the look", "not a file", "open#1=fifo");
#endif
    }

    void read()
    {
        QFETCH(QString, at);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, name);
        const QTemporaryDir tmp;
        const QString path = at == "folder" ? tmp.path() : tmp.filePath(name);
        if (!at.startsWith('/') && at != "fifo" && at != "folder" && at != "missing")
            makeFile(path, bytes.size(), bytes);
#ifdef Q_OS_UNIX
        QVERIFY(!at.startsWith('/') || QFile::link(at.section(' ', 0, 0), path));
        QVERIFY(at != "fifo" || ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
#endif
        QString got;
        const SyscallFaults failing(
            at.contains('#') ? at.section(' ', at.startsWith('/') ? 1 : 0).toLatin1() : "");
        const bool read = bool(readDummy(path, got));
        QVERIFY(failing.allMet());
        QTEST(got, "reason");
        QCOMPARE(read, got.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestReader)
#include "tst_reader.moc"
