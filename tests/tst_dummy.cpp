#include "dummy/FileError.h"
#include "dummy/modMain.h"
#include "version.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <stdexcept>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <unistd.h>
#endif

class TestDummy : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const
    {
        return QDir::toNativeSeparators(m_dir.filePath(name));
    }
    QString write(const QString &name, const QByteArray &content)
    {
        QFile f(path(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(name));
        return f.fileName();
    }
    static QByteArray read(const QString &p)
    {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }

private slots:
    void record_data();
    void record();
    void recordCutsAndPads();
    void refusals_data();
    void refusals();
    void neverOverwrites_data();
    void neverOverwrites();
    void writesRecord();
    void secondMakeRefused();
    void failuresThrowAndLeaveNothing_data();
    void failuresThrowAndLeaveNothing();
    void failedWriteLeavesNoPartialFile();
    void prefixLengthOutOfRange();
};

void TestDummy::record_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<int>("prefixLen");
    QTest::addColumn<bool>("sizeAdd");
    QTest::addColumn<QByteArray>("sizeHex");
    QTest::addColumn<QByteArray>("stamp");

    const QDateTime t(QDate(2024, 3, 5), QTime(9, 4, 7));
    QTest::newRow("zero") << qint64(0) << t << 6 << false << QByteArray("00000000")
                          << QByteArray("20240305090407");
    QTest::newRow("485") << qint64(485) << t << 6 << true << QByteArray("000001E5")
                         << QByteArray("20240305090407");
    QTest::newRow("255 not read as decimal")
        << qint64(255) << t << 0 << false << QByteArray("000000FF") << QByteArray("20240305090407");
    QTest::newRow("largest 32-bit") << qint64(0xFFFFFFFFLL) << t << 255 << true
                                    << QByteArray("FFFFFFFF") << QByteArray("20240305090407");
    QTest::newRow("above 4 GiB keeps low bits")
        << (qint64(5) << 32 | 0x1234) << QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)) << 2
        << false << QByteArray("00001234") << QByteArray("19991231235959");
}

void TestDummy::record()
{
    QFETCH(qint64, size);
    QFETCH(QDateTime, time);
    QFETCH(int, prefixLen);
    QFETCH(bool, sizeAdd);
    QFETCH(QByteArray, sizeHex);
    QFETCH(QByteArray, stamp);

    const QByteArray bytes = DummyHeader::make(size, time, prefixLen, sizeAdd).toBytes();
    QByteArray expected("*PBX");
    expected += char(0);
    expected += char(PORONBO_VERSION_MAJOR);
    expected += char(PORONBO_VERSION_MINOR);
    expected += char(PORONBO_VERSION_PATCH);
    expected += sizeHex + "    " + stamp;
    expected += char(prefixLen);
    expected += char(sizeAdd ? 1 : 0);
    expected += "    ";
    QCOMPARE(bytes.size(), 40);
    QCOMPARE(bytes, expected);
    QCOMPARE(bytes.mid(4, 4), QByteArray::fromHex("00000101")); // this release is 0.1.1
}

void TestDummy::recordCutsAndPads()
{
    DummyHeader h;
    h.Signature = "*PBXTOOLONG";
    h.SizeHex = "1";
    h.TimeStamp = "2024";
    const QByteArray bytes = h.toBytes();
    QCOMPARE(bytes.size(), 40);
    QCOMPARE(bytes.left(4), QByteArray("*PBX"));
    QCOMPARE(bytes.mid(8, 8), QByteArray("1       "));
    QCOMPARE(bytes.mid(20, 14), QByteArray("2024          "));
}

void TestDummy::refusals_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("dummy");
    QTest::addColumn<int>("result");

    QTest::newRow("source missing") << "nosuch.txt"
                                    << "out.txt" << -1;
    QTest::newRow("source hidden") << ".hidden.txt"
                                   << "out.txt" << -1;
    QTest::newRow("source is a folder") << "sub"
                                        << "out.txt" << -1;
    QTest::newRow("wildcard is literal") << "src*.txt"
                                         << "out.txt" << -1;
    QTest::newRow("link to a file counts") << "link.txt"
                                           << "out.txt" << 0;
    QTest::newRow("folder missing") << "src.txt"
                                    << "nosub/out.txt" << -2;
    QTest::newRow("source decides before folder") << "nosuch.txt"
                                                  << "nosub/out.txt" << -1;
    QTest::newRow("visible file exists") << "src.txt"
                                         << "taken.txt" << -3;
    QTest::newRow("folder decides before existence") << "src.txt"
                                                     << "nosub/taken.txt" << -2;
    QTest::newRow("folder part is the root") << "src.txt" << QDir::rootPath() + "tmp" << -3;
}

void TestDummy::refusals()
{
    QFETCH(QString, source);
    QFETCH(QString, dummy);
    QFETCH(int, result);

    QTemporaryDir dir;
    const auto p = [&](const QString &n) {
        return QDir::toNativeSeparators(QDir::isAbsolutePath(n) ? n : dir.filePath(n));
    };
    for (const char *name : {"src.txt", ".hidden.txt", "taken.txt"}) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    QVERIFY(QFile::link(dir.filePath("src.txt"), dir.filePath("link.txt")));
    const QByteArray taken = read(dir.filePath("taken.txt"));

    QCOMPARE(MakeDummy(p(source), p(dummy), 6, false), qint16(result));
    QCOMPARE(QFileInfo::exists(dir.filePath("out.txt")), result == 0);
    QCOMPARE(read(dir.filePath("taken.txt")), taken);
    QVERIFY(!QFileInfo::exists(dir.filePath("nosub")));
}

void TestDummy::neverOverwrites_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("hidden file") << "hidden";
    QTest::newRow("folder") << "folder";
    QTest::newRow("dangling link") << "dangling";
    QTest::newRow("link to a hidden file") << "link";
}

// Whatever occupies the dummy's path stays as it was and the result is -3.
void TestDummy::neverOverwrites()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString source = dir.filePath("src.txt");
    QFile s(source);
    QVERIFY(s.open(QIODevice::WriteOnly));
    s.write("source");
    s.close();
    const QString keep = dir.filePath(".keep");
    QFile k(keep);
    QVERIFY(k.open(QIODevice::WriteOnly));
    k.write("precious content");
    k.close();

    QString dummy = dir.filePath("dummy.txt");
    if (kind == "hidden")
        dummy = keep;
    else if (kind == "folder")
        QVERIFY(QDir(dir.path()).mkdir("dummy.txt"));
    else if (kind == "dangling")
        QVERIFY(QFile::link(dir.filePath("nowhere"), dummy));
    else
        QVERIFY(QFile::link(keep, dummy));

    QCOMPARE(MakeDummy(QDir::toNativeSeparators(source), QDir::toNativeSeparators(dummy), 6, false),
             qint16(-3));
    QCOMPARE(read(keep), QByteArray("precious content"));
    QVERIFY(!QFileInfo::exists(dir.filePath("nowhere")));
    QCOMPARE(read(source), QByteArray("source"));
}

void TestDummy::writesRecord()
{
    const QString source = write("report.txt", QByteArray(485, 'a'));
    const QDateTime mtime(QDate(2021, 1, 2), QTime(3, 4, 5));
    {
        QFile f(source);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(mtime, QFileDevice::FileModificationTime));
    }
    const QString dummy = path("A_report(485).txt");
    QCOMPARE(MakeDummy(source, dummy, 2, true), qint16(0));
    QCOMPARE(read(dummy), DummyHeader::make(485, mtime, 2, true).toBytes());
    QCOMPARE(read(dummy).mid(8, 8), QByteArray("000001E5"));
    QCOMPARE(read(dummy).mid(20, 14), QByteArray("20210102030405"));
    QCOMPARE(read(source), QByteArray(485, 'a'));
}

void TestDummy::secondMakeRefused()
{
    const QString source = write("twice.txt", "12345");
    const QString dummy = path("__退避__twice.txt");
    QCOMPARE(MakeDummy(source, dummy, 6, false), qint16(0));
    const QByteArray first = read(dummy);
    write("twice.txt", "123456789");
    QCOMPARE(MakeDummy(source, dummy, 6, true), qint16(-3));
    QCOMPARE(read(dummy), first);
}

void TestDummy::failuresThrowAndLeaveNothing_data()
{
    QTest::addColumn<QString>("dummy");
    QTest::newRow("folder part is a plain file") << "plain.txt/dummy.txt";
    QTest::newRow("name too long") << QString(300, QLatin1Char('n'));
}

void TestDummy::failuresThrowAndLeaveNothing()
{
    QFETCH(QString, dummy);
    const QString source = write("plain.txt", "abc");
    const QStringList before = QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden);
    try {
        MakeDummy(source, path(dummy), 6, false);
        QFAIL("no error raised");
    } catch (const FileError &e) {
        QCOMPARE(e.path(), path(dummy));
        QVERIFY(!e.reason().isEmpty());
    }
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
    QCOMPARE(read(source), QByteArray("abc"));
}

void TestDummy::failedWriteLeavesNoPartialFile()
{
#ifdef Q_OS_UNIX
    // A file size limit makes the write fail part way, for root too.
    const QString source = write("big.txt", "content");
    const QString dummy = path("big_dummy.txt");
    struct rlimit old;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 16;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool threw = false;
    try {
        MakeDummy(source, dummy, 6, false);
    } catch (const FileError &e) {
        threw = e.path() == dummy && !e.reason().isEmpty();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(threw);
    QVERIFY(!QFileInfo::exists(dummy));
#else
    QSKIP("needs a file size limit");
#endif
}

void TestDummy::prefixLengthOutOfRange()
{
    const QString source = write("p.txt", "p");
    for (int len : {-1, 256}) {
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                                 MakeDummy(source, path("p_out.txt"), len, false));
        QVERIFY(!QFileInfo::exists(path("p_out.txt")));
    }
    QCOMPARE(MakeDummy(source, path("p_out.txt"), 255, false), qint16(0));
    QCOMPARE(read(path("p_out.txt")).at(34), char(255));
}

QTEST_GUILESS_MAIN(TestDummy)
#include "tst_dummy.moc"
