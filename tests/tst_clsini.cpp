#include "settings/ClsIni.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#ifdef Q_OS_WIN
static const QByteArray kEol = "\r\n";
#else
static const QByteArray kEol = "\n";
#endif

class TestClsIni : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }
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
    ClsIni ini(const QString &name) const
    {
        ClsIni i;
        i.IniName = path(name);
        return i;
    }

private slots:
    void defaultsWithoutFile();
    void get_data();
    void get();
    void put_data();
    void put();
    void roundTrip_data();
    void roundTrip();
    void failures_data();
    void failures();
    void lineBreaksRefused();
    void permissionsRefused_data();
    void permissionsRefused();
    void symlinkTargetWritten();
};

void TestClsIni::defaultsWithoutFile()
{
    ClsIni unnamed;
    QCOMPARE(unnamed.GetIni("S", "K", "def"), QString("def"));
    QVERIFY(!unnamed.PutIni("S", "K", "v"));
    QVERIFY(!unnamed.LastError().isEmpty());

    QCOMPARE(ini("missing.ini").GetIni("S", "K", "def"), QString("def"));
    QVERIFY(QDir(m_dir.path()).mkdir("folder.ini"));
    QCOMPARE(ini("folder.ini").GetIni("S", "K", "def"), QString("def"));
}

void TestClsIni::get_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *name, const char *content, const char *key, const char *value) {
        QTest::newRow(name) << QByteArray(content) << QString(key) << QString::fromUtf8(value);
    };

    row("missing section", "[Other]\nK=v\n", "K", "DEF");
    row("missing key", "[S]\nX=v\n", "K", "DEF");
    row("key after section ends", "[S]\n[T]\nK=v\n", "K", "DEF");
    row("only first section searched", "[S]\nA=1\n[s]\nK=2\n", "K", "DEF");
    row("empty value is not default", "[S]\nK=\n", "K", "");
    row("key case-insensitive", "[S]\nOutPos=a\n", "OUTPOS", "a");
    row("first key wins", "[S]\nk=1\nK=2\n", "K", "1");
    row("blanks around section", " \t[ S ] ; note\nK=v", "K", "v");
    row("blanks around key and value", "[S]\n \tK \t= \t v a l \t\n", "K", "v a l");
    row("first '=' splits", "[S]\nK = a=b\n", "K", "a=b");
    row("comments, blanks and junk skipped", "[S]\n;K=1\n  # K=2\n\njunk\n; [T]\nK=3\n", "K", "3");
    row("CRLF", "[S]\r\nK=v\r\n", "K", "v");
    row("UTF-8 BOM", "\xEF\xBB\xBF[S]\nK=v\n", "K", "v");
    row("backslashes kept", "[S]\nK=C:\\out\\dir\n", "K", "C:\\out\\dir");
    row("double quotes", "[S]\nK= \" a b \" \n", "K", " a b ");
    row("single quotes", "[S]\nK='x'\n", "K", "x");
    row("empty quotes", "[S]\nK=\"\"\n", "K", "");
    row("one pair only", "[S]\nK=\"\"x\"\"\n", "K", "\"x\"");
    row("mismatched quotes kept", "[S]\nK=\"x'\n", "K", "\"x'");
    row("lone quote kept", "[S]\nK=\"\n", "K", "\"");
    row("inner quotes kept", "[S]\nK=a\"b\"\n", "K", "a\"b\"");
}

void TestClsIni::get()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, key);
    write("get.ini", content);
    // Every row names its section "[S]" and looks it up as "s".
    QTEST(ini("get.ini").GetIni("s", key, "DEF"), "expected");
}

void TestClsIni::put_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("after");
    const auto row = [](const char *name, const QByteArray &before, const char *section,
                        const char *key, const QByteArray &after) {
        QTest::newRow(name) << before << QString(section) << QString(key) << after;
    };

    const QByteArray hand = "\xEF\xBB\xBF; settings\r\n\r\n[Other]\r\nOutPos=keep\r\n"
                            "[Setting]\r\n# note\r\n\xFF junk\r\n  OutPos =\t old \t\r\nName=x\r\n"
                            "\r\n; tail\r\n[Last]\r\nEnd = 1";
    const auto edited = [&](const char *from, const char *to) {
        return QByteArray(hand).replace(from, to);
    };
    row("value only", hand, "SETTING", "outpos", edited("=\t old \t", "=\t NEW"));
    row("last line keeps no ending", hand, "last", "end", edited("= 1", "= NEW"));
    row("key after last key line", hand, "Setting", "Added",
        edited("=x\r\n", "=x\r\nAdded=NEW\r\n"));
    row("key after last line without ending", hand, "Last", "K", hand + "\r\nK=NEW\r\n");
    row("section appended", hand, "New", "K", hand + "\r\n[New]\r\nK=NEW\r\n");
    row("key after header of empty section", "[S]\n; c\n[T]\nK=1\n", "S", "K",
        "[S]\nK=NEW\n; c\n[T]\nK=1\n");
    row("first section only", "[S]\nA=1\n[S]\nK=1\n", "S", "K", "[S]\nA=1\nK=NEW\n[S]\nK=1\n");
    row("LF kept", "[S]\nK=1\n", "T", "K", "[S]\nK=1\n[T]\nK=NEW\n");
    row("no line break uses platform", "[S]", "S", "K", "[S]" + kEol + "K=NEW" + kEol);
}

void TestClsIni::put()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    ClsIni i = ini("put.ini");
    write("put.ini", before);
    QVERIFY(i.PutIni(section, key, "NEW"));
    QVERIFY(i.LastError().isEmpty());
    QTEST(read(i.IniName), "after");
    QCOMPARE(i.GetIni(section, key, "DEF"), QString("NEW"));
}

void TestClsIni::roundTrip_data()
{
    QTest::addColumn<QString>("value");

    QTest::newRow("backslashes") << "C:\\out\\dir\\";
    QTest::newRow("comment chars and =") << "a;b#c=d[e]";
    QTest::newRow("empty") << "";
    QString longPath = "/home/";
    while (longPath.size() <= 300)
        longPath += QString::fromUtf8("出力フォルダ/");
    QTest::newRow("longer than 254 characters") << longPath;
}

void TestClsIni::roundTrip()
{
    QFETCH(QString, value);
    ClsIni i = ini("round.ini");
    QFile::remove(i.IniName);
    QVERIFY(i.PutIni("S", "K", "first"));
    QVERIFY(i.PutIni("S", "K", value));
    QCOMPARE(read(i.IniName), "[S]" + kEol + "K=" + value.toUtf8() + kEol);
    QCOMPARE(i.GetIni("S", "K", "DEF"), value);
}

void TestClsIni::failures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("existing");

    QTest::newRow("folder part is a file") << QString("plain/x.ini") << QString("plain");
    QTest::newRow("name is a directory") << QString("dir.ini") << QString("dir.ini/keep");
    QTest::newRow("folder missing") << QString("nowhere/x.ini") << QString();
}

void TestClsIni::failures()
{
    QFETCH(QString, name);
    QFETCH(QString, existing);
    QVERIFY(QDir(m_dir.path()).mkpath("dir.ini"));
    if (!existing.isEmpty())
        write(existing, "[S]\r\nK=old\r\n");

    ClsIni i = ini(name);
    QVERIFY(!i.PutIni("S", "K", "new"));
    QVERIFY(!i.LastError().isEmpty());
    if (!existing.isEmpty())
        QCOMPARE(read(path(existing)), QByteArray("[S]\r\nK=old\r\n"));
    QVERIFY(!QFileInfo::exists(path("nowhere")));

    i.IniName = path("ok.ini");
    QVERIFY(i.PutIni("S", "K", "new"));
    QVERIFY(i.LastError().isEmpty());
}

void TestClsIni::lineBreaksRefused()
{
    ClsIni i = ini("breaks.ini");
    write("breaks.ini", "[S]\nK=old\n");
    QVERIFY(!i.PutIni("S", "K", "x\n[T]\nK=injected"));
    QVERIFY(!i.PutIni("S", "K\r", "x"));
    QVERIFY(!i.LastError().isEmpty());
    QCOMPARE(read(i.IniName), QByteArray("[S]\nK=old\n"));
}

void TestClsIni::permissionsRefused_data()
{
    QTest::addColumn<QString>("locked");
    QTest::addColumn<int>("perms");

    QTest::newRow("read-only folder") << "ro" << int(QFile::ReadOwner | QFile::ExeOwner);
    QTest::newRow("unreadable file") << "ro/x.ini" << int(QFile::WriteOwner);
}

void TestClsIni::permissionsRefused()
{
#ifdef Q_OS_UNIX
    if (geteuid() == 0)
        QSKIP("running as root: permissions refuse nothing");
    QFETCH(QString, locked);
    QFETCH(int, perms);
    QVERIFY(QDir(m_dir.path()).mkpath("ro"));
    const QString file = write("ro/x.ini", "[S]\nK=old\n");
    QFile target(path(locked));
    const auto saved = target.permissions();
    QVERIFY(target.setPermissions(QFile::Permissions(perms)));
    ClsIni i;
    i.IniName = file;
    const bool ok = i.PutIni("S", "K", "new");
    target.setPermissions(saved);
    QVERIFY(!ok);
    QVERIFY(!i.LastError().isEmpty());
    QCOMPARE(read(file), QByteArray("[S]\nK=old\n"));
#else
    QSKIP("permission checks are Unix only here");
#endif
}

void TestClsIni::symlinkTargetWritten()
{
#ifdef Q_OS_UNIX
    const QString target = write("target.ini", "[S]\nK=old\n");
    QVERIFY(QFile::link(target, path("link.ini")));
    ClsIni i = ini("link.ini");
    QVERIFY(i.PutIni("S", "K", "new"));
    QVERIFY(QFileInfo(i.IniName).isSymLink());
    QCOMPARE(read(target), QByteArray("[S]\nK=new\n"));
#else
    QSKIP("symlinks are Unix only here");
#endif
}

QTEST_GUILESS_MAIN(TestClsIni)
#include "tst_clsini.moc"
