#include "dummy/PathCodec.h"
#include "settings/IniLocation.h"
#include "testutil.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

class TestIniLocation : public QObject
{
    Q_OBJECT

    static QString native(const QString &path) { return QDir::toNativeSeparators(path); }

private slots:
    // Tests run as root in CI, where every folder is writable: the check is injected.
    void choose_data()
    {
        QTest::addColumn<bool>("iniThere");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("bundle");
        QTest::addColumn<bool>("hasUserFolder");
        QTest::addColumn<bool>("beside");
        QTest::newRow("writable folder") << false << true << false << true << true;
        QTest::newRow("read-only folder") << false << false << false << true << false;
        QTest::newRow("file already there") << true << false << false << true << true;
        QTest::newRow("bundle, writable, file there") << true << true << true << true << false;
        QTest::newRow("no user folder") << false << false << false << false << true;
    }

    void choose()
    {
        QFETCH(bool, iniThere);
        QFETCH(bool, writable);
        QFETCH(bool, bundle);
        QFETCH(bool, hasUserFolder);
        QFETCH(bool, beside);
        const QTemporaryDir dir;
        const QString exe = native(dir.filePath("bin"));
        const QString user = native(dir.filePath("config/poronbo"));
        QDir().mkpath(exe);
        if (iniThere)
            makeFile(exe + "/PORONBO.INI");
        QStringList asked;
        const QString name =
            chooseIniName({exe, hasUserFolder ? user : QString(), bundle}, [&](const QString &f) {
                asked << f;
                return writable;
            });
        QCOMPARE(name, native((beside ? exe : user) + "/PORONBO.INI"));
        QVERIFY(asked.isEmpty() || asked == QStringList{exe});
        QVERIFY(!QFileInfo::exists(user)); // made by the first save, not by the choice
    }

    void rootFolderHasOneSeparator()
    {
        const auto yes = [](const QString &) { return true; };
        QCOMPARE(chooseIniName({QDir::rootPath(), native("/u"), false}, yes),
                 native(QDir::rootPath() + "PORONBO.INI"));
        QCOMPARE(chooseIniName({native("/x"), native("/u/"), true}, yes), native("/u/PORONBO.INI"));
        // An executable folder that cannot be told is never taken for the root.
        QCOMPARE(chooseIniName({QString(), native("/u"), false}, yes), native("/u/PORONBO.INI"));
        QCOMPARE(chooseIniName({QString(), QString(), false}, yes), QString());
    }

    // ".../Name.app/Contents/MacOS", a trailing separator allowed, with either separator.
    void bundleFolder()
    {
        for (const char *folder :
             {"/Applications/Poronbo.app/Contents/MacOS", "/A/Poronbo.app/Contents/MacOS/"})
            QVERIFY2(isAppBundleFolder(folder) && isAppBundleFolder(native(folder)), folder);
        for (const char *folder :
             {"/opt/Contents/MacOS", "/.app/Contents/MacOS", "/A/P.app/Contents/Resources"})
            QVERIFY2(!isAppBundleFolder(folder) && !isAppBundleFolder(native(folder)), folder);
    }

    // Variables that are not UTF-8 keep their bytes; a relative XDG_CONFIG_HOME is ignored.
    void userFolder()
    {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
        const QByteArray config = qgetenv("XDG_CONFIG_HOME"), home = qgetenv("HOME");
        const auto restore = qScopeGuard([&] {
            qputenv("XDG_CONFIG_HOME", config);
            qputenv("HOME", home);
        });
        for (const QByteArrayList &row : QList<QByteArrayList>{{"/c/\xff", "/h", "/c/\xff"},
                                                               {"", "/h/\xfe/", "/h/\xfe/.config"},
                                                               {"c", "/h", "/h/.config"}}) {
            qputenv("XDG_CONFIG_HOME", row[0]);
            qputenv("HOME", row[1]);
            QCOMPARE(encodePath(userConfigFolder()), row[2] + "/tst_inilocation");
        }
#endif
    }

    void writableFolder()
    {
        const QTemporaryDir dir;
        QVERIFY(isWritableFolder(dir.path()));
#ifdef Q_OS_UNIX
        // Root may write anywhere, so only another user sees the permission refuse.
        if (geteuid() != 0) {
            const QString locked = dir.filePath("locked");
            QVERIFY(QDir().mkdir(locked));
            QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
            QVERIFY(!isWritableFolder(locked));
            QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner);
            QVERIFY(!isWritableFolder(locked)); // no search permission
            QDir().rmdir(locked);
        }
#endif
        QVERIFY(!isWritableFolder(dir.filePath("missing")));
        const QString plain = makeFile(dir.filePath("plain")); // a program, not a folder
        QFile::setPermissions(plain, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!isWritableFolder(plain));
        QVERIFY(!isWritableFolder(QString()));
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{"plain"}); // nothing left behind
    }
};

QTEST_GUILESS_MAIN(TestIniLocation)
#include "tst_inilocation.moc"
