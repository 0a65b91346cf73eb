#include "testutil.h"
#include "version.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// How the programs end a line of output, and their file names' suffix.
#ifdef Q_OS_WIN
static const QString Eol = "\r\n", Exe = ".exe";
#else
static const QString Eol = "\n", Exe;
#endif

class TestPrograms : public QObject
{
    Q_OBJECT

    // A built program: the test programs are built one folder below the others.
    static QString built(const char *n) { return qApp->applicationDirPath() + "/../" + n + Exe; }
    // Runs program in folder, "NAME=value"s added: its exit status, output and error output.
    static QStringList run(const QString &program, const QStringList &args,
                           const QString &folder = {}, const QStringList &env = {})
    {
        QProcess p;
        p.setEnvironment(QProcess::systemEnvironment() + env); // the last of a name counts
        p.setWorkingDirectory(folder);
        p.start(program, args);
        const bool ended = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit;
        return {ended ? QString::number(p.exitCode()) : "did not end",
                QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

private slots:
    void commandLineTexts()
    {
        const QStringList noDisplay{"QT_QPA_PLATFORM=no-such-platform"}; // no display needed
        const QStringList help = run(built("poronbo"), {"x", "--help"}, {}, noDisplay);
        QCOMPARE(help.value(0) + help.value(2), "0");
        QVERIFY(help[1].contains("[--] [FILE...]" + Eol +
                                 "Opens the window and adds the files as if dropped on it." + Eol));
        QCOMPARE(run(built("poronbo"), {"--version", "--help"}, {}, noDisplay),
                 QStringList({"0", "poronbo " PORONBO_VERSION_TEXT + Eol, ""}));
    }

    // poronbo FILE...: rows in order, dummies, options saved beside the program (or in the user's
    // folder), its and Qt's texts in Japanese (ja, C) or English; poronbo-info reads them back.
    void window_data()
    {
        QTest::addColumn<bool>("writableFolder");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("texts"); // the title, a column's, Qt's Cancel
        QString ver = "  Ver " PORONBO_VERSION_TEXT;
        ver.remove(ver.lastIndexOf('.'), 1); // 0.2.0 gives 0.20
        const QString ja = "ポロンボ" + ver + "\t結果\tキャンセル",
                      en = "Poronbo" + ver + "\tResult\tCancel";
        QTest::newRow("settings beside the program") << true << "LC_ALL=ja_JP.UTF-8" << ja;
        QTest::newRow("non-root: settings in user's folder") << false << "LC_ALL=ja_JP.UTF-8" << ja;
        QTest::newRow("C.UTF-8") << true << "LC_ALL=C.UTF-8" << ja;
        QTest::newRow("en_US.UTF-8") << true << "LC_ALL=en_US.UTF-8" << en;
        QTest::newRow("de_DE.UTF-8, then ja") << true << "LC_ALL=de_DE.UTF-8 LANGUAGE=de:ja" << en;
    }

    void window()
    {
        QFETCH(bool, writableFolder);
        QFETCH(QString, locale);
        QFETCH(QString, texts);
        const QTemporaryDir tmp;
        const QString bin = tmp.filePath("bin"), work = tmp.filePath("work");
        const QString ini =
            writableFolder ? bin + "/PORONBO.INI" : tmp.filePath("config/poronbo/PORONBO.INI");
        const QByteArray settings = "[SYSTEM]\nINITIAL=P_\nSIZEADD=1\n";
        makeFile(ini, settings.size(), settings);
        QVERIFY(QDir().mkpath(bin) && QFile::copy(built("poronbo"), bin + "/poronbo" + Exe));
#ifdef Q_OS_WIN
        const QString qm = "/translations/qtbase_ja.qm";
        QVERIFY(QDir().mkpath(bin + "/translations") &&
                QFile::copy(qApp->applicationDirPath() + qm, bin + qm));
#endif
        const QDateTime time({2024, 3, 5}, {9, 4, 7});
        for (const char *name : {"b.txt", "--help", "a"})
            makeFile(work + "/" + name, name[0] == 'a' ? (qint64(1) << 32) + 1 : 3, "x", time);
        if (!Exe.isEmpty() && locale != "LC_ALL=ja_JP.UTF-8")
            QSKIP("Wine starts it in the tests' locale (ja_JP), whatever LC_ALL it is given; "
                  "scripts/test-windows finds the ZIP's window by its English title");
        if (!writableFolder && (!QFile::setPermissions(bin, QFile::ReadOwner | QFile::ExeOwner) ||
                                QFileInfo(bin).isWritable()))
            QSKIP(Exe.isEmpty() ? "root passes every permission check"
                                : "Wine lets the Linux user write to any folder");
        const QStringList env{"QT_PLUGIN_PATH=" + qApp->applicationDirPath() + "/plugins",
                              "QT_QPA_GENERIC_PLUGINS=poronbosmoke",
                              "PORONBO_SMOKE_ROWS=3",
                              "PORONBO_SMOKE_REPORT=" + tmp.filePath("report"),
                              "LANGUAGE=",
                              "XDG_CONFIG_HOME=" + tmp.filePath("config")};
        const QString ran = run(bin + "/poronbo" + Exe, {"b.txt", "--", "--help", "a"}, work,
                                env + locale.split(' '))[0];
        QFile::setPermissions(bin, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(ran, "0");
        QStringList report = QString::fromUtf8(readFile(tmp.filePath("report"))).split('\n');
        QCOMPARE(report.takeLast(), texts);
        if (locale != "LC_ALL=ja_JP.UTF-8")
            return; // the rest as on a Japanese system
        const QStringList dummies{"P_b(3).txt", "P_--help(3)", "P_a(4,294,967,297)"};
        const QString row = "○\t" + QDir::toNativeSeparators(work) + "\t";
        QCOMPARE(report, QStringList({row + dummies[0], row + dummies[1], row + dummies[2]}));
        QCOMPARE(readFile(ini), settings + "OUTPOS=1\nOUTPATH=\n");

        // poronbo-info, checked in a folder, with a path "-" that is no dummy; then after the
        // sources changed. An existing file after --check is a dummy, not the folder.
        const QString info = built("poronbo-info");
        const QString line =
            "%1\t%2\t%3\t2024-03-05 09:04:07\t" PORONBO_VERSION_TEXT "\t2\t1\t%4" + Eol;
        makeFile(work + "/-", 2);
        QCOMPARE(run(info, {"--check", ".", dummies[2], "-"}, work),
                 QStringList({"1", line.arg(dummies[2], "a", "4294967297", "matches"),
                              "poronbo-info: -: not a dummy: length 2" + Eol}));
        makeFile(work + "/b.txt", 3 + (qint64(1) << 32), "x", time); // the same low 32 bits
        makeFile(work + "/--help", 3, "x", time.addSecs(1));
        QVERIFY(QFile::remove(work + "/a"));
        QByteArray record = readFile(work + "/" + dummies[0]); // as if made without the size
        makeFile(work + "/P_b.txt", 40, record.replace(35, 1, QByteArray(1, 0)));
        QCOMPARE(run(info, QStringList{"--check=" + work} + dummies << "P_b.txt", work).value(1),
                 line.arg(dummies[0], "b.txt", "3", "differs (size)") +
                     line.arg(dummies[1], "--help", "3", "differs (time)") +
                     line.arg(dummies[2], "a", "4294967297", "missing") +
                     line.arg("P_b.txt", "b.txt", "3", "matches").replace("\t1\tm", "\t0\tm"));
        QVERIFY(
            run(info, {"--check", dummies[2], "--json"}, work)[1].contains("\"size\":4294967297,"));
        // Usage errors; an output that cannot be written (a full disk, a pipe closed early).
        QCOMPARE(run(info, {"--json"}).value(0), "2");
        QCOMPARE(run(info, {"--check", tmp.filePath("nowhere"), dummies[0]}).value(0), "2");
#ifdef Q_OS_LINUX
        const QString shell = "set -o pipefail; \"$0\" \"$@\" ";
        const QStringList many(5000, dummies[0]);
        for (const char *to : {">/dev/full", "| head -c 1"})
            QCOMPARE(run("bash", QStringList{"-c", shell + to, info} + many, work)[0], "1");
        // A name's control characters show on standard error as on standard output.
        QCOMPARE(run(info, {makeFile(work + "/a\nb", 3)}).value(2).count('\n'), 1);
#endif
    }
};

QTEST_GUILESS_MAIN(TestPrograms)
#include "tst_programs.moc"
