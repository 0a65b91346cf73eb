#include "dummy/DummyReader.h"
#include "dummy/modMain.h"
#include "makelist/Intake.h"
#include "testutil.h"
#include "version.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace
{
const QDateTime Noon(QDate(2023, 11, 5), QTime(12, 34, 56));
const QDateTime NoonWall(Noon.date(), Noon.time(), QTimeZone::utc()); // as the reader gives it
const qint64 Big = (qint64(1) << 32) + 1;

// The rows the intake makes of paths in chosen-folder mode (same-folder when out is empty).
void intake(MakeList &list, const QStringList &paths, const QString &out, const QString &prefix,
            const QLocale &locale)
{
    AddDroppedFiles(list, {out.isEmpty(), out, prefix, 1}, QStringList{QString()} + paths, locale);
}

// The reading of row's name, from the record the maker writes for it.
std::optional<DummyInfo> readRow(const MakeItem &row, qint64 size, QString &reason)
{
    const QByteArray record = DummyHeader::make(size, Noon, row.InitialLen, row.SizeAdd).toBytes();
    return parseDummy(record, row.SubItems[SubFileName - 1], reason);
}

QString baseOf(const QString &path)
{
    return QFileInfo(path).fileName();
}
} // namespace

class TestReader : public QObject
{
    Q_OBJECT

private slots:
    // Made through the intake and the maker, every dummy gives back its source's name and size.
    void roundTrip()
    {
        const QTemporaryDir tmp;
        const QStringList names{"report.txt", "a.b.tar.gz", "README", "scan(123).pdf",
                                "x().txt",    "v(1,000)",   "a.b(5)", "写真 2024年.jpeg",
                                "1.234",      "(7)"};
        const QList<qint64> sizes{0, 1, 999, 1000, Big};
        int n = 0;
        for (const char *localeName : {"en_US", "ja_JP", "de_DE", "fr_FR"}) {
            for (const char *prefix : {"", "v1.0_", "(", "P"}) {
                for (const int sizeCheck : {0, 1}) {
                    for (const qint64 size : sizes) {
                        const QString src = tmp.filePath(QString::number(size) + "/");
                        const QString out = tmp.filePath(QString::number(++n));
                        QStringList paths;
                        for (const QString &name : names)
                            paths << makeFile(src + name, size, "x", Noon);
                        QDir().mkpath(out);
                        MakeList list;
                        AddDroppedFiles(list, {false, out, prefix, sizeCheck},
                                        QStringList{QString()} + paths, QLocale(localeName));
                        QCOMPARE(list.count(), names.size());
                        for (int r = 1; r <= list.count(); ++r) {
                            const MakeItem &row = list.item(r);
                            const QString dummy = out + "/" + row.SubItems[SubFileName - 1];
                            QCOMPARE(MakeDummy(row.Tag, dummy, row.InitialLen, row.SizeAdd), 0);
                            QString reason;
                            const std::optional<DummyInfo> info = readDummy(dummy, reason);
                            QVERIFY2(info, qPrintable(dummy + ": " + reason));
                            QCOMPARE(info->sourceName, baseOf(row.Tag));
                            QCOMPARE(info->size, sizeCheck ? size : size & 0xFFFFFFFF);
                            QCOMPARE(info->modified, NoonWall);
                        }
                    }
                }
            }
        }
    }

    // No name the maker gives has two readings: it puts the size group only before the
    // last "." of the prefixed name, or at its end when it has none, so the last bracket
    // pair there is the group. The list of ambiguous names is therefore empty; this
    // checks every name of up to 4 characters from look-alike characters (leading dots
    // and bracketed digits of the name's own, "," and "." as separators) reads back exactly.
    void noNameIsAmbiguous()
    {
        const QTemporaryDir tmp;
        const QString alphabet = "a.(),5";
        QStringList names{""};
        for (int length = 1; length <= 4; ++length) {
            for (const QString &name : QStringList(names)) {
                if (name.size() == length - 1) {
                    for (const QChar c : alphabet)
                        names << name + c;
                }
            }
        }
        names.removeAll("");
        names.removeAll(".");
        names.removeAll("..");
        for (const qint64 size : {0, 5, 1005}) {
            QStringList paths;
            for (const QString &name : std::as_const(names))
                paths << makeFile(tmp.filePath(QString::number(size) + "/" + name), size);
            for (const char *localeName : {"en_US", "de_DE"}) {
                for (const char *prefix : {"", "(.5"}) {
                    MakeList list;
                    intake(list, paths, {}, prefix, QLocale(localeName));
                    for (int r = 1; r <= list.count(); ++r) {
                        QString reason;
                        const auto info = readRow(list.item(r), size, reason);
                        QVERIFY2(info, qPrintable(list.item(r).SubItems[1] + ": " + reason));
                        QCOMPARE(info->sourceName, baseOf(list.item(r).Tag));
                        QCOMPARE(info->size, size);
                    }
                }
            }
        }
    }

    // The size grouped as any locale groups it (other digits, separators, group sizes) reads back.
    void everyLocale()
    {
        const QTemporaryDir tmp;
        const QList<qint64> sizes{1234, 1234567, Big * 1000 + 7};
        QStringList paths;
        for (const qint64 size : sizes)
            paths << makeFile(tmp.filePath(QString::number(size) + "/a.b"), size);
        const auto all = QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                                  QLocale::AnyTerritory);
        for (const QLocale &locale : all) {
            MakeList list;
            intake(list, paths, {}, "p", locale);
            for (int r = 1; r <= list.count(); ++r) {
                QString reason;
                const auto info = readRow(list.item(r), sizes[r - 1], reason);
                QVERIFY2(info && info->size == sizes[r - 1] && info->sourceName == "a.b",
                         qPrintable(locale.name() + ": " + list.item(r).SubItems[1] + reason));
            }
        }
    }

    void strict_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason"); // empty: a dummy
        const QByteArray good = DummyHeader::make(1234, Noon, 2, true).toBytes();
        const auto with = [&good](int at, const QByteArray &part) {
            return QByteArray(good).replace(at, part.size(), part);
        };
        const auto row = [](const char *tag, const QByteArray &bytes, const char *reason,
                            const char *name = "P_a(1,234).txt") {
            QTest::newRow(tag) << bytes << QString(name) << QString(reason);
        };
        row("a dummy", good, "");
        row("any version", with(5, "\xFF\xFF\xFF"), "");
        row("short", good.left(39), "length 39");
        row("long", good + " ", "length 41");
        row("signature", with(0, "*PBx"), "signature");
        row("byte 4", with(4, "\x01"), "byte 4");
        row("lower-case hex", with(8, "000004d2"), "size digits");
        row("hex with a space", with(8, " 00004D2"), "size digits");
        row("reserved 16", with(19, QByteArray(1, '\0')), "reserved bytes 16-19");
        row("month 13", with(24, "13"), "time stamp");
        row("30 February", with(24, "0230"), "time stamp");
        row("hour 24", with(28, "24"), "time stamp");
        row("sign in the time", with(20, "+023"), "time stamp");
        row("prefix longer than the name", with(34, "\x0F"), "prefix length");
        row("size flag 2", with(35, "\x02"), "size flag");
        row("reserved 36", with(39, "x"), "reserved bytes 36-39");
        row("size disagrees", good, "size in name", "P_a(1,235).txt");
        row("no size", good, "size in name", "P_a.txt");
        row("size not before the dot", good, "size in name", "P_a(1,234)x.txt");
        row("size at the end after a dot", good, "size in name", "P_a.txt(1,234)");
        row("groups of two", good, "size in name", "P_a(12,34).txt");
        row("prefix takes the whole name", with(34, "\x07"), "prefix length", "P_a(1,234).txt");
    }

    void strict()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QString got;
        const std::optional<DummyInfo> info = parseDummy(bytes, name, got);
        QCOMPARE(got, reason);
        QCOMPARE(bool(info), reason.isEmpty());
    }

    // Only regular files are read, and only as much as a record: nothing blocks or runs on.
    void notFiles()
    {
        const QTemporaryDir tmp;
        const auto p = [&tmp](const char *name) { return tmp.filePath(name); };
        makeFile(p("long"), 5000);
        QVERIFY(QFile::link("/dev/zero", p("zero")));
        QDir().mkpath(p("folder"));
        QStringList paths{p("long"), p("zero"), p("folder"), p("missing")};
#ifdef Q_OS_UNIX
        QCOMPARE(::mkfifo(QFile::encodeName(p("fifo")).constData(), 0600), 0);
        paths << p("fifo");
#endif
        QStringList reasons;
        for (const QString &path : std::as_const(paths)) {
            QString reason;
            QVERIFY(!readDummy(path, reason));
            reasons << reason;
        }
        QCOMPARE(reasons.mid(0, 3), QStringList({"length 5000", "not a file", "not a file"}));
        QVERIFY(!reasons[3].isEmpty());
    }

    // poronbo-info on a folder of dummies made by the tool, with --json read back.
    void program()
    {
        const QTemporaryDir tmp;
        const QString src = tmp.filePath("src"), out = tmp.filePath("out");
        QDir().mkpath(out);
        const QStringList paths{makeFile(src + "/report.txt", 1234, "x", Noon),
                                makeFile(src + "/写真", 0, "x", Noon),
                                makeFile(src + "/big.bin", Big, "x", Noon)};
        MakeList list;
        intake(list, paths, out, "P_", QLocale(QLocale::German));
        QStringList dummies;
        for (int r = 1; r <= list.count(); ++r) {
            dummies << out + "/" + list.item(r).SubItems[SubFileName - 1];
            const MakeItem &row = list.item(r);
            QCOMPARE(MakeDummy(row.Tag, dummies.last(), row.InitialLen, row.SizeAdd), 0);
        }
        dummies << makeFile(out + "/notes.txt", 3);
        QVERIFY(QFile::remove(paths[1]));
        makeFile(paths[2], Big + 1, "x", Noon.addSecs(1));

        const auto run = [](const QStringList &args, int status) {
            QProcess p;
            p.start(PORONBO_INFO, args);
            if (!p.waitForFinished() || p.exitCode() != status)
                qWarning() << args << p.exitCode() << p.readAllStandardError();
            return p.exitCode() == status ? QString::fromUtf8(p.readAllStandardOutput()) : "?";
        };
        const QStringList lines =
            run(QStringList{"--json", "--check", src} + dummies, 1).split('\n');
        QCOMPARE(lines.size(), 4);
        QStringList got;
        for (const QString &line : lines.mid(0, 3)) {
            const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
            got << QStringList{o["source_name"].toString(),
                               QString::number(o["size"].toInteger()),
                               o["modified"].toString(),
                               o["version"].toString(),
                               o["check"].toString(),
                               o["differs"].toVariant().toStringList().join(',')}
                       .join(' ');
            QCOMPARE(o["dummy"].toString(), dummies[got.size() - 1]);
            QVERIFY(o["prefix_length"].toInt() == 2 && o["size_in_name"].toBool());
        }
        const QString when = " 2023-11-05 12:34:56 " PORONBO_VERSION_TEXT " ";
        QCOMPARE(got,
                 QStringList({"report.txt 1234" + when + "matches ", "写真 0" + when + "missing ",
                              "big.bin 4294967297" + when + "differs size,time"}));

        // --check followed by a dummy: the dummy's own folder; then the plain line.
        QCOMPARE(run({"--check", dummies[0]}, 0),
                 dummies[0] + "\treport.txt\t1234\t2023-11-05 12:34:56\t" PORONBO_VERSION_TEXT
                              "\t2\t1\tmissing\n");
        QCOMPARE(run({"--check", tmp.filePath("nowhere"), dummies[0]}, 2), "");
        QCOMPARE(run({"--json"}, 2), "");
        QCOMPARE(run({"--version"}, 0), "poronbo-info " PORONBO_VERSION_TEXT "\n");
    }
};

QTEST_GUILESS_MAIN(TestReader)
#include "tst_reader.moc"
