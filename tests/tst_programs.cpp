// The built programs started as a user starts them: poronbo with files after "--" (driven
// by the smokeplugin), its --help and --version, and poronbo-info on the dummies it made.

#include "testutil.h"
#include "version.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

class TestPrograms : public QObject
{
    Q_OBJECT

    // A built program: the test programs are built one folder below the others.
    static QString built(const QString &name)
    {
        return QCoreApplication::applicationDirPath() + "/../" + name;
    }
    // Runs program in folder; its exit status, standard output and standard error.
    static QStringList run(const QString &program, const QStringList &args,
                           const QProcessEnvironment &env, const QString &folder = {},
                           const QString &output = {})
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(folder);
        if (!output.isEmpty())
            p.setStandardOutputFile(output);
        p.start(program, args);
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
            return {"did not end"};
        return {QString::number(p.exitCode()), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

private slots:
    // Answered without a display.
    void commandLineTexts()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "no-such-platform");
        const QStringList help = run(built("poronbo"), {"x", "--help"}, env);
        QCOMPARE(help.value(0) + help.value(2), "0");
        QVERIFY2(help[1].startsWith("Usage: ") && help[1].contains("[--] [FILE...]") &&
                     help[1].contains("Opens the window and adds the files as if dropped on it."),
                 qPrintable(help[1]));
        QCOMPARE(run(built("poronbo"), {"--version", "--help"}, env),
                 QStringList({"0", "poronbo " PORONBO_VERSION_TEXT "\n", ""}));
    }

    // poronbo FILE...: the rows in the order given, Create's dummies, the options read
    // from and saved to the settings file beside the program (or the user's when that
    // folder is not writable), and Qt's own texts in the system's language. Then
    // poronbo-info reads the dummies back.
    void window_data()
    {
        QTest::addColumn<bool>("writableFolder");
        QTest::newRow("settings beside the program") << true;
        QTest::newRow("non-root: settings in the user's folder") << false;
    }

    void window()
    {
        QFETCH(bool, writableFolder);
#ifdef Q_OS_UNIX
        if (!writableFolder && ::geteuid() == 0)
            QSKIP("root passes every permission check");
#endif
        const QTemporaryDir tmp;
        const QString bin = tmp.filePath("bin"), work = tmp.filePath("work");
        const QString ini =
            writableFolder ? bin + "/PORONBO.INI" : tmp.filePath("config/poronbo/PORONBO.INI");
        const QByteArray settings = "[SYSTEM]\nINITIAL=P_\nSIZEADD=1\n";
        makeFile(ini, settings.size(), settings);
        QVERIFY(QDir().mkpath(bin) && QFile::copy(built("poronbo"), bin + "/poronbo"));
        const QDateTime time({2024, 3, 5}, {9, 4, 7});
        const qint64 big = (qint64(1) << 32) + 1;
        QStringList sources;
        for (const char *name : {"b.txt", "--help", "a"})
            sources << makeFile(work + "/" + name, name[0] == 'a' ? big : 3, "x", time);
        if (!writableFolder)
            QFile::setPermissions(bin, QFile::ReadOwner | QFile::ExeOwner);

        const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
        QProcessEnvironment env = system;
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QT_PLUGIN_PATH", QCoreApplication::applicationDirPath() + "/plugins");
        env.insert("QT_QPA_GENERIC_PLUGINS", "poronbosmoke");
        env.insert("PORONBO_SMOKE_ROWS", "3");
        env.insert("PORONBO_SMOKE_REPORT", tmp.filePath("report"));
        env.insert("LC_ALL", "ja_JP.UTF-8");
        env.insert("HOME", tmp.path());
        env.insert("XDG_CONFIG_HOME", tmp.filePath("config"));
        const QStringList ran = run(bin + "/poronbo", {"b.txt", "--", "--help", "a"}, env, work);
        QFile::setPermissions(bin, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(ran.value(0), "0");
        const QStringList dummies{"P_b(3).txt", "P_--help(3)", "P_a(4,294,967,297)"};
        QStringList expected;
        for (const QString &name : dummies)
            expected << "○\t" + QDir::toNativeSeparators(work) + "\t" + name;
        if (QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_ja.qm"))
            expected << "cancel\tキャンセル";
        QCOMPARE(QString::fromUtf8(readFile(tmp.filePath("report"))).split('\n'), expected);
        QCOMPARE(readFile(ini), "[SYSTEM]\nINITIAL=P_\nSIZEADD=1\nOUTPOS=1\nOUTPATH=\n");
        QCOMPARE(QDir(bin).entryList(QDir::Files | QDir::Hidden).size(), writableFolder ? 2 : 1);

        // poronbo-info: plain, checked beside the dummies (an existing file after --check is
        // no folder), a path "-", then JSON checked against sources changed since.
        const QString info = built("poronbo-info");
        QStringList lines, checked;
        for (int i = 0; i < 3; ++i) {
            lines << QString("%1\t%2\t%3\t2024-03-05 09:04:07\t" PORONBO_VERSION_TEXT "\t2\t1")
                         .arg(dummies[i], QFileInfo(sources[i]).fileName())
                         .arg(i == 2 ? big : 3);
            checked << lines.last() + "\tmatches";
        }
        QCOMPARE(run(info, QStringList{"--"} + dummies, system, work),
                 QStringList({"0", lines.join('\n') + '\n', ""}));
        QCOMPARE(run(info, QStringList{"--check"} + dummies, system, work),
                 QStringList({"0", checked.join('\n') + '\n', ""}));
        makeFile(work + "/-", 2);
        QCOMPARE(run(info, {"-", dummies[2]}, system, work),
                 QStringList({"1", lines[2] + '\n', "poronbo-info: -: not a dummy: length 2\n"}));
        makeFile(sources[0], 3 + (qint64(1) << 32), "x", time); // the same low 32 bits
        makeFile(sources[1], 3, "x", time.addSecs(1));
        QVERIFY(QFile::remove(sources[2]));
        const QStringList json =
            run(info, QStringList{"--json", "--check=" + work} + dummies, system, work);
        QStringList got;
        for (const QString &line : json.value(1).split('\n', Qt::SkipEmptyParts)) {
            const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
            got << o.value("source_name").toString() + " " +
                       QString::number(o.value("size").toInteger()) + " " +
                       o.value("check").toString() + " " +
                       o.value("differs").toVariant().toStringList().join(',');
        }
        QCOMPARE(json.value(0), "0");
        QCOMPARE(got, QStringList({"b.txt 3 differs size", "--help 3 differs time",
                                   "a 4294967297 missing "}));
        // Usage errors, and an output that cannot be written.
        QCOMPARE(run(info, {"--json"}, system).value(0), "2");
        QCOMPARE(run(info, {"--check", tmp.filePath("nowhere"), dummies[0]}, system).value(0), "2");
#ifdef Q_OS_LINUX
        QCOMPARE(run(info, {dummies[0]}, system, work, "/dev/full").value(0), "1");
        QProcess head, closed; // a pipe closed early (poronbo-info ... | head -c 1)
        closed.setStandardOutputProcess(&head);
        closed.setWorkingDirectory(work);
        head.start("head", {"-c", "1"});
        closed.start(info, QStringList(5000, dummies[0]));
        QVERIFY(closed.waitForFinished() && closed.exitStatus() == QProcess::NormalExit);
        QCOMPARE(closed.exitCode(), 1);
        // A name's control characters show on standard error as on standard output.
        QCOMPARE(run(info, {makeFile(work + "/a\nb", 3)}, system).value(2).count('\n'), 1);
#endif
    }
};

QTEST_GUILESS_MAIN(TestPrograms)
#include "tst_programs.moc"
