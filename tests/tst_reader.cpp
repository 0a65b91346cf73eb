#include "dummy/DummyReader.h"
#include "dummy/modMain.h"
#include "makelist/Intake.h"
#include "testutil.h"
#include "version.h"

#include <QJsonDocument>
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
                    QDir().mkpath(out);
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

    void strict_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason"); // empty: a dummy
        const QByteArray good = DummyHeader::make(1234, Noon, 2, true).toBytes();
        const auto row = [&good](const char *tag, const char *reason, int at = 0,
                                 const QByteArray &part = {}, const char *name = "P_a(1,234).txt") {
            QTest::newRow(tag) << QByteArray(good).replace(at, part.size(), part) << QString(name)
                               << QString(reason);
        };
        row("a dummy of any version", "", 5, "\xFF\xFF\xFF");
        QTest::newRow("short") << good.left(39) << QString("P_a(1,234).txt") << "length 39";
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
        row("prefix takes the whole name", "prefix length", 34, "\x07");
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
#ifdef Q_OS_UNIX
        const QTemporaryDir tmp;
        const QString fifo = tmp.filePath("fifo"), zero = tmp.filePath("zero");
        QVERIFY(QFile::link("/dev/zero", zero));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QStringList reasons;
        for (const QString &path : {makeFile(tmp.filePath("long"), 5000), zero, fifo, tmp.path()}) {
            QString reason;
            reasons << (readDummy(path, reason) ? "read" : reason);
        }
        QCOMPARE(reasons, QStringList({"length 5000", "not a file", "not a file", "not a file"}));
#endif
    }

    // poronbo-info on a folder of dummies made by the tool, with --json read back.
    void program()
    {
        const QTemporaryDir tmp;
        const QString src = tmp.filePath("src"), out = tmp.filePath("out");
        QDir().mkpath(out);
        const QStringList names{"report.txt", "写真", "big.bin"};
        const QList<qint64> sizes{1234, 0, Big};
        QStringList paths, dummies;
        for (int i = 0; i < 3; ++i)
            paths << makeFile(src + "/" + names[i], sizes[i], "x", Noon);
        MakeList list;
        AddDroppedFiles(list, {false, out, "P_", SizeCheckState::On}, QStringList{""} + paths,
                        QLocale(QLocale::German));
        for (int r = 1; r <= list.count(); ++r) {
            const MakeItem &row = list.item(r);
            dummies << QDir::toNativeSeparators(out + "/" + row.FileName);
            QCOMPARE(MakeDummy(row.Tag, dummies.last(), row.InitialLen, row.SizeAdd), 0);
        }
        dummies << makeFile(out + "/notes.txt", 3); // not a dummy
        QVERIFY(QFile::remove(paths[1]));
        makeFile(paths[2], Big + (qint64(1) << 32), "x", Noon.addSecs(1)); // same low 32 bits

        const auto run = [](const QStringList &args, int status) {
            QProcess p;
            p.start(PORONBO_INFO, args);
            const bool ok = p.waitForFinished() && p.exitCode() == status;
            return ok ? QString::fromUtf8(p.readAllStandardOutput()) : p.readAllStandardError();
        };
        // Paths with native separators, lines as text output ends them on this platform.
#ifdef Q_OS_WIN
        const QString eol = "\r\n";
#else
        const QString eol = "\n";
#endif
        const QStringList lines =
            run(QStringList{"--json", "--check", src} + dummies, 1).split(eol);
        QCOMPARE(lines.size(), 4);
        const QString json =
            "{\"dummy\":\"%1\",\"source_name\":\"%2\",\"size\":%3,\"source\":\"%4\",\"check\":%5,"
            "\"modified\":\"2023-11-05 12:34:56\",\"version\":\"" PORONBO_VERSION_TEXT "\","
            "\"prefix_length\":2,\"size_in_name\":true}";
        const QStringList checks{"\"matches\"", "\"missing\"",
                                 "\"differs\",\"differs\":[\"size\",\"time\"]"};
        const auto object = [](const QString &t) { return QJsonDocument::fromJson(t.toUtf8()); };
        const auto escaped = [](QString path) { return path.replace('\\', "\\\\"); };
        for (int i = 0; i < 3; ++i)
            QCOMPARE(object(lines[i]),
                     object(json.arg(escaped(dummies[i]), names[i], QString::number(sizes[i]),
                                     escaped(QDir::toNativeSeparators(src + "/" + names[i])),
                                     checks[i])));

        // --check followed by a dummy: each dummy's own folder.
        QCOMPARE(run({"--check", dummies[0]}, 0),
                 dummies[0] +
                     "\treport.txt\t1234\t2023-11-05 12:34:56\t" PORONBO_VERSION_TEXT
                     "\t2\t1\tmissing" +
                     eol);
        QCOMPARE(run({"--check", tmp.filePath("nowhere"), dummies[0]}, 2), "");
        QCOMPARE(run({"--json"}, 2), "");
#ifdef Q_OS_LINUX
        QProcess full; // an output that cannot be written is a failure
        full.setStandardOutputFile("/dev/full");
        full.start(PORONBO_INFO, {dummies[0]});
        QVERIFY(full.waitForFinished() && full.exitCode() == 1);
#endif
    }
};

QTEST_GUILESS_MAIN(TestReader)
#include "tst_reader.moc"
