#include "testutil.h"
#include "version.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

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
    // Runs program in folder, "NAME=value"s added, output to outputFile if any: status, out, err.
    static QStringList run(const QString &program, const QStringList &args,
                           const QString &folder = {}, const QStringList &env = {},
                           const QString &outputFile = {})
    {
        QProcess p;
        if (!outputFile.isEmpty())
            p.setStandardOutputFile(outputFile);
        p.setEnvironment(QProcess::systemEnvironment() + env); // the last of a name counts
        p.setWorkingDirectory(folder);
        p.start(program, args);
        const bool ended = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit;
        return {ended ? QString::number(p.exitCode()) : "did not end",
                QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    const QTemporaryDir m_tmp;

private slots:
    // Help, version and usage errors need no display. Output that cannot be written fails.
    void commandLineTexts_data()
    {
        QTest::addColumn<QStringList>("args"); // the program, then ">/dev/full" for the output
        QTest::addColumn<QString>("output");   // within exit status|output|error output
        const QList<std::pair<QStringList, QString>> rows{
            {{"poronbo", "x", "-h"}, "[--] [FILE...]" + Eol + "Opens the window and"},
            {{"poronbo", "-v", "--bogus"}, "0|poronbo " PORONBO_VERSION_TEXT + Eol + "|"},
            {{"poronbo", "--bogus", "--help"}, "2||poronbo: unknown option --bogus" + Eol + "Usa"},
            {{"poronbo-info", "-h", "-v"}, "0|Usage: poronbo-info"}, // the first option counts
            {{"poronbo-info", "--json"}, "2||poronbo-info: no PATH given"},
            {{"poronbo-info", "退避"}, "1||poronbo-info: 退避: not a dummy: "}, // UTF-8 to a pipe
            {{"poronbo-info", "--check", "/no/folder", "x"}, "2||poronbo-info: --check: not a"},
            {{"poronbo-info", "--check=" + built("poronbo-info"), "x"}, "2||poronbo-info: --"},
            {{"poronbo-info", "--check", m_tmp.filePath("fifo"), "x"}, "2||poronbo-info: --ch"},
            {{"poronbo", ">/dev/full", "--help"}, "1||poronbo: cannot write"},
            {{"poronbo-info", ">/dev/full", "-v"}, "1||poronbo-info: cannot write"}};
#ifdef Q_OS_UNIX // a FIFO is never opened, so never waited for
        QVERIFY(::mkfifo(QFile::encodeName(m_tmp.filePath("fifo")), 0600) == 0);
#endif
        for (const auto &[args, output] : rows)
            QTest::addRow("%s", qPrintable(args.join(' '))) << args << output;
    }

    void commandLineTexts()
    {
        QFETCH(QStringList, args);
        const QString to = args.value(1).startsWith('>') ? args.takeAt(1).mid(1) : "";
        if (!to.isEmpty() && !QFileInfo::exists(to))
            QSKIP("no /dev/full to write to");
        const QString got =
            run(built(qPrintable(args[0])), args.mid(1), {}, {"QT_QPA_PLATFORM=none"}, to)
                .join('|');
        QFETCH(QString, output);
        QVERIFY2(got.contains(output), qPrintable(got));
    }

    // --check takes a far time as the record holds it, in any zone; a size's low 32 bits marked.
    void checkFarTimes_data()
    {
        QTest::addColumn<QDateTime>("source"); // its modified time, local time where it is read
        QTest::addColumn<QString>("recorded"); // and the result of the check
        const auto row = [](const char *tag, const QDateTime &t, const char *recorded) {
            QTest::newRow(tag) << t << QString(recorded);
        };
        row("10000", {{10000, 1, 1}, {}}, "9999-12-31 23:59:59\tmatches");
        row("last but one", {{9999, 12, 31}, {23, 59, 58}}, "9999-12-31 23:59:58\tmatches");
        row("0 (1 BC)", {{-1, 12, 31}, {23, 59, 59}}, "0001-01-01 00:00:00\tmatches");
        row("first but one", {{1, 1, 1}, {0, 0, 1}}, "0001-01-01 00:00:00\tdiffers (time)");
    }

    void checkFarTimes()
    {
        QFETCH(QDateTime, source);
        QFETCH(QString, recorded);
#ifdef Q_OS_WIN
        QSKIP("TZ sets no Windows program's time zone, and Windows file times start in 1601");
#endif
        const QTemporaryDir dir("/dev/shm/tst_programs-XXXXXX"); // tmpfs keeps any time
        const QString stamp = recorded.left(19).remove('-').remove(' ').remove(':');
        const QByteArray record = QByteArray("*PBX\0\0\1\1", 8) + "00000001    " + stamp.toLatin1();
        makeFile(dir.filePath("P_退避.txt"), 40, record + QByteArray("\2\0    ", 6)); // by 0.1.1
        const QString line = "P_退避.txt\t退避.txt\t1 (low 32 bits)\t" +
                             recorded.replace("\t", "\t0.1.1\t2\t0\t") + Eol;
        makeFile(dir.filePath("退避.txt"), 1, "x", source); // in the zone of TZ, as ctest runs it
        QCOMPARE(run(built("poronbo-info"), {"--check", "P_退避.txt"}, dir.path(),
                     {"LC_ALL=fi_FI.UTF-8"})[1],
                 line);
    }

    // A source this user may not look at is not missing; a folder it may not reach is none.
    void checkAccess()
    {
#ifdef Q_OS_WIN
        QSKIP("Wine keeps a folder's access rights but does not enforce them: no look is denied");
#endif
        const QTemporaryDir dir;
        const QString locked = dir.filePath("locked"), info = built("poronbo-info");
        makeFile(dir.filePath("P_a.txt"), 40, // by 0.1.1, of a source of 1 byte
                 QByteArray("*PBX\0\0\1\1", 8) + "00000001    20240305090407" +
                     QByteArray("\2\0    ", 6));
        makeFile(locked + "/sub/a.txt");
        const auto rw = QFile::ReadOwner | QFile::WriteOwner;
        QVERIFY(QFile::setPermissions(locked, rw));
        const auto undo = qScopeGuard([&] { QFile::setPermissions(locked, rw | QFile::ExeOwner); });
        if (QFileInfo::exists(locked + "/sub"))
            QSKIP("root passes every permission check");
        QCOMPARE(run(info, {"--check", locked, "P_a.txt"}, dir.path()).value(1).section('\t', 7),
                 "cannot be accessed" + Eol);
        const QStringList lockedFolder = run(info, {"--check", locked + "/sub", "P_a.txt"});
        QVERIFY(lockedFolder.join('|').startsWith("2||poronbo-info: --check: cannot be accessed"));
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
        QStringList command{bin + "/poronbo" + Exe, "b.txt", "--", "--help", "a"};
        QString shown = QDir::toNativeSeparators(work); // the folder as the list shows it
#ifdef Q_OS_UNIX // from a current folder whose name is not UTF-8, so named for the run
        command = QStringList{"bash", "-c",
                              "mv \"$0\"{,$'\\xff'} && cd \"$0\"$'\\xff' && \"$@\"; s=$?; "
                              "mv \"$0\"{$'\\xff',}; exit $s",
                              work} +
                  command;
        shown = work + QChar(0xFFFD); // as the report has it
#endif
        const QString ran = run(command.takeFirst(), command, work, env + locale.split(' '))[0];
        QFile::setPermissions(bin, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(ran, "0");
        QStringList report = QString::fromUtf8(readFile(tmp.filePath("report"))).split('\n');
        QCOMPARE(report.takeLast(), texts);
        if (locale != "LC_ALL=ja_JP.UTF-8")
            return; // the rest as on a Japanese system
        const QStringList dummies{"P_b(3).txt", "P_--help(3)", "P_a(4,294,967,297)"};
        const QString row = "○\t" + shown + "\t";
        QCOMPARE(report, QStringList({row + dummies[0], row + dummies[1], row + dummies[2]}));
        QCOMPARE(readFile(ini), settings + "OUTPOS=1\nOUTPATH=\n");

        // poronbo-info, checked in a folder after the sources changed, with a path "-" that is no
        // dummy. An existing file after --check is a dummy, not the folder.
        const QString info = built("poronbo-info");
        const QString line =
            "%1\t%2\t%3\t2024-03-05 09:04:07\t" PORONBO_VERSION_TEXT "\t2\t1\t%4" + Eol;
        makeFile(work + "/-", 2);
        makeFile(work + "/b.txt", 3 + (qint64(1) << 32), "x", time); // the same low 32 bits
        makeFile(work + "/--help", 3, "x", time.addSecs(1));
        QVERIFY(QFile::remove(work + "/a"));
        QByteArray record = readFile(work + "/" + dummies[0]); // as if made without the size
        makeFile(work + "/P_b.txt", 40, record.replace(35, 1, QByteArray(1, 0)));
        QCOMPARE(
            run(info, QStringList{"--check=" + work} + dummies + QStringList{"P_b.txt", "-"}, work),
            QStringList({"1",
                         line.arg(dummies[0], "b.txt", "3", "differs (size)") +
                             line.arg(dummies[1], "--help", "3", "differs (time)") +
                             line.arg(dummies[2], "a", "4294967297", "missing") +
                             line.arg("P_b.txt", "b.txt", "3 (low 32 bits)", "matches")
                                 .replace("\t1\tm", "\t0\tm"),
                         "poronbo-info: -: not a dummy: length 2" + Eol}));
        QVERIFY(
            run(info, {"--check", dummies[2], "--json"}, work)[1].contains("\"size\":4294967297,"));
        // --check followed by an option: beside each dummy. Every key, in JSON's order.
        QCOMPARE(run(info, {"--check", "--json", dummies[0]}, work).value(1),
                 "{\"check\":\"differs\",\"differs\":[\"size\"],\"dummy\":\"P_b(3).txt\","
                 "\"modified\":\"2024-03-05 09:04:07\",\"prefix_length\":2,\"size\":3,"
                 "\"size_in_name\":true,\"source\":\"" + // the full path
                     QDir::toNativeSeparators(work + "/b.txt").replace("\\", "\\\\") +
                     "\",\"source_name\":\"b.txt\",\"version\":\"" PORONBO_VERSION_TEXT "\"}" +
                     Eol);
        // An output that cannot be written: a full disk, a pipe closed early.
#ifdef Q_OS_LINUX
        const QString shell = "set -o pipefail; \"$0\" \"$@\" ";
        for (const char *to : {">/dev/full", "| head -c 1"})
            QCOMPARE(run("bash",
                         QStringList{"-c", shell + to, info} + QStringList(5000, dummies[0]),
                         work)[0],
                     "1");
        // An argument in bytes that are not UTF-8 (Shift-JIS) names the file it is.
        const QString sjis = "cp P_b.txt $'P_\\x82\\xa0' && \"$0\" $'P_\\x82\\xa0'";
        QCOMPARE(run("bash", {"-c", sjis, info}, work)[0], "0");
        // A name's control characters show on standard error as on standard output.
        QCOMPARE(run(info, {makeFile(work + "/a\nb", 3)}).value(2).count('\n'), 1);
#endif
    }

#ifdef Q_OS_WIN
    // A console is handed the characters themselves, whatever its code page. Last: it takes one.
    void console()
    {
        FreeConsole(); // Wine's first console, without a terminal, takes no output
        DWORD n = 0;
        const HANDLE error = AllocConsole() ? GetStdHandle(STD_ERROR_HANDLE) : nullptr;
        if (!GetConsoleMode(error, &n))
            QSKIP("Wine, with neither a terminal nor an X display, made a console without output");
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel); // to this process's console
        p.start(built("poronbo-info"), {"退避"});
        wchar_t shown[16];
        QVERIFY(p.waitForFinished() && ReadConsoleOutputCharacterW(error, shown, 16, {0, 0}, &n));
        QCOMPARE(QString::fromWCharArray(shown, int(n)), "poronbo-info: 退避");
    }
#endif
};

QTEST_GUILESS_MAIN(TestPrograms)
#include "tst_programs.moc"
