#include "fs/PathCodec.h"
#include "settings/IniLocation.h"
#include "testutil.h"

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
    // Rows: executable's folder, user's, "w" writable (injected: root writes anywhere), "b" in a
    // bundle (".../Name.app/Contents/MacOS[/]"), "i" installed (in a system folder), the name.
    // "@": a folder holding PORONBO.INI.
    void choose()
    {
        const QTemporaryDir dir;
        makeFile(dir.filePath("PORONBO.INI"));
        for (QStringList row : QList<QStringList>{
                 {"/x", "@/u", "", "@/u/PORONBO.INI"},
                 {"@", "@/u", "", "@/PORONBO.INI"},      // a file there is used
                 {"@", "@/u/", "bw", "@/u/PORONBO.INI"}, // never inside a bundle
                 {"@", "@/u", "iw", "@/u/PORONBO.INI"},  // nor beside an installed copy
                 {"@", "", "iw", ""},
                 {"/x", "", "", "/x/PORONBO.INI"},
                 {"/", "@/u", "w", "/PORONBO.INI"},
                 {"", "@/u", "w", "@/u/PORONBO.INI"}, // an unknown folder is not the root
                 {"", "", "w", ""}}) {
            row.replaceInStrings("@", dir.path());
            QCOMPARE(chooseIniName(
                         {row[0], row[1], row[2].contains('b'), row[2].contains('i')},
                         [&](const QString &f) { return row[2].contains('w') && f == row[0]; }),
                     native(row[3]));
        }
        QVERIFY(!QFileInfo::exists(dir.filePath("u"))); // made by the first save, not here
        for (const QString f :
             {"/Applications/Poronbo.app/Contents/MacOS", "/A/Poronbo.app/Contents/MacOS/",
              "/opt/Contents/MacOS", "/.app/Contents/MacOS", "/A/P.app/Contents/Resources"})
            QVERIFY2(isAppBundleFolder(f) == f.contains("Poronbo") &&
                         isAppBundleFolder(native(f)) == f.contains("Poronbo"),
                     qPrintable(f));
            // Installed copies' folders, at their edges.
#ifdef Q_OS_WIN
        qputenv("ProgramFiles", "C:\\Program Files\\");
        const QStringList system{"C:\\Program Files", "c:\\program files\\Poronbo"},
            other{"C:\\Program Files (x86)x", "C:\\Program Filesx\\P", "D:\\P"};
#else
        const QStringList system{"/usr/bin", "/opt/poronbo/", "/usr", "/nix/store/x/bin"},
            other{"/usr2/bin", "/home/u/usr/bin", "/", "/Usr/bin", "/nix/x"};
#endif
        for (const QString &folder : system + other)
            QVERIFY2(isSystemFolder(folder) == system.contains(folder), qPrintable(folder));
    }

    // Not writable without write or without search permission (only another user than
    // root sees these refuse), nor a missing folder or a program. Nothing is left behind.
    void writableFolder()
    {
        const QTemporaryDir dir;
        const QString locked = dir.filePath("locked");
        QVERIFY(isWritableFolder(dir.path()) && QDir().mkdir(locked));
        for (const QString &folder :
             {dir.filePath("missing"), qApp->applicationFilePath(), QString()})
            QVERIFY2(!isWritableFolder(folder), qPrintable(folder));
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{"locked"});
#ifdef Q_OS_UNIX
        if (::geteuid() == 0)
            QSKIP("root passes every permission check");
        for (const auto permissions :
             {QFile::ReadOwner | QFile::ExeOwner, QFile::ReadOwner | QFile::WriteOwner})
            QVERIFY(QFile::setPermissions(locked, permissions) && !isWritableFolder(locked));
#endif
    }

    // Variables not UTF-8 keep their bytes; a relative XDG_CONFIG_HOME is ignored. Last: left set.
    void userFolder()
    {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
        for (const QByteArrayList &row : QList<QByteArrayList>{{"/c/\xff", "/h", "/c/\xff"},
                                                               {"", "/h/\xfe/", "/h/\xfe/.config"},
                                                               { "c",
                                                                 "/h",
                                                                 "/h/.config" }}) {
            qputenv("XDG_CONFIG_HOME", row[0]);
            qputenv("HOME", row[1]);
            QCOMPARE(encodePath(userConfigFolder()), row[2] + "/tst_inilocation");
        }
#endif
#ifdef Q_OS_WIN // the user's local, not roaming, application data
        QCOMPARE(QDir::toNativeSeparators(userConfigFolder()),
                 qEnvironmentVariable("LOCALAPPDATA") + "\\tst_inilocation");
#endif
    }
};

QTEST_GUILESS_MAIN(TestIniLocation)
#include "tst_inilocation.moc"
