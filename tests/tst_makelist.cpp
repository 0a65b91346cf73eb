#include "dummy/FileError.h"
#include "dummy/PathCodec.h"
#include "makelist/Batch.h"
#include "makelist/Intake.h"
#include "makelist/MakeList.h"
#include "settings/ClsIni.h"
#include "testutil.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <climits>
#include <memory>
#include <stdexcept>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#endif

static const QLocale English(QLocale::English, QLocale::UnitedStates);
static const QLocale Japanese(QLocale::Japanese, QLocale::Japan);
static const QDateTime Morning(QDate(2024, 3, 5), QTime(9, 4, 7));
constexpr auto Off = SizeCheckState::Off, On = SizeCheckState::On, Greyed = SizeCheckState::Greyed;

class TestMakeList : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MakeList> m_list;
    std::unique_ptr<QAbstractItemModelTester> m_tester;

    QString path(const QString &name) const
    {
        return QDir::toNativeSeparators(m_dir->filePath(name));
    }
    QString file(const QString &name, qint64 size = 1, const QDateTime &mtime = Morning)
    {
        return makeFile(m_dir->filePath(name), size, "x", mtime);
    }
    IntakeResult drop(const QStringList &paths, const MakeOptions &o = {},
                      const QLocale &l = English)
    {
        return AddDroppedFiles(*m_list, o, QStringList{QString()} + paths, l);
    }
    QStringList column(MakeColumn c, int role = Qt::DisplayRole) const
    {
        return ::column(*m_list, c, role);
    }
    QByteArray dummy(int n) const
    {
        return readFile(m_list->item(n).FilePath + QDir::separator() + m_list->item(n).FileName);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_list = std::make_unique<MakeList>();
        m_tester = std::make_unique<QAbstractItemModelTester>(
            m_list.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }

    void naming_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<MakeOptions>("options");
        QTest::addColumn<QStringList>("expected"); // name, extension, prefix length
        const auto row = [](const char *tag, const char *source, qint64 size, const char *prefix,
                            SizeCheckState check, const QStringList &expected) {
            QTest::newRow(tag) << QString(source) << size << MakeOptions{true, "", prefix, check}
                               << expected;
        };
        row("prefix, size", "d/report.txt", 512, "A_", On, {"A_report(512).txt", "txt", "2"});
        row("default prefix, 0 bytes", "d/README", 0, "", On, {"__退避__README()", "", "6"});
        row("several dots, trimmed", "d/a.b.c", 9, "  x  ", On, {"xa.b(9).c", "c", "1"});
        row("greyed is off", "d/a.txt", 9, "", Greyed, {"__退避__a.txt", "txt", "6"});
        row("dot only in prefix", "d/README", 7, "v1.0_", On, {"v1(7).0_README", "", "5"});
        row("dot only in folder", "old.files/README", 1, "p", Off, {"pREADME", "", "1"});
        row("comma groups", "d/big.bin", 1234567, "B", On, {"Bbig(1,234,567).bin", "bin", "1"});
        row("prefix beyond the BMP", "d/a", 1, "😀", Off, {"😀a", "", "2"});
    }

    void naming()
    {
        QFETCH(QString, source);
        QFETCH(qint64, size);
        QFETCH(MakeOptions, options);
        QFETCH(QStringList, expected);
        const QString src = file(source, size);
        QCOMPARE(drop({src}, options).outcome, IntakeResult::Added);
        const MakeItem &row = m_list->item(1);
        const QString folder = QDir::toNativeSeparators(QFileInfo(src).path());
        QStringList shown; // FILE_PATH to TIMESTUMP, then the row's key, tag and prefix length
        for (int c = 1; c <= 5; ++c)
            shown << m_list->data(m_list->index(0, c)).toString();
        QCOMPARE(shown << row.key() << row.Tag << QString::number(row.InitialLen),
                 QStringList({folder, expected[0], QString::number(size), expected[1],
                              "3/5/24 9:04:07 AM", folder + QDir::separator() + expected[0], src,
                              expected[2]}));
        QCOMPARE(row.SizeAdd, options.SizeCheck == On);
    }

    // Keys stay unique while the index grows a row at a time, and after a clear.
    void keysOfALongList()
    {
        QStringList paths;
        for (int i = 0; i < 300; ++i)
            paths << file(QString("k/%1").arg(i));
        for (const QString &p : paths)
            drop({p});
        QCOMPARE(drop(paths + paths).duplicates, 600);
        m_list->clear();
        QCOMPARE(drop(paths + paths).added, 300);
        QCOMPARE(m_list->count(), 300);
    }

    // At midnight only the date is shown; the locale of the last intake is the list's.
    void timeText()
    {
        drop({file("a", 1, QDateTime(QDate(2024, 3, 5), QTime(0, 0)))});
        QCOMPARE(column(MakeColumn::TIMESTUMP).last(), "3/5/24");
        drop({file("b")}, {}, Japanese);
        QCOMPARE(column(MakeColumn::TIMESTUMP).last(), "2024/03/05 9:04:07");
    }

    // Times outside the years 1 to 9999 are recorded as the nearer limit, and listed
    // as it only when there is no date to show.
    void oddTimes()
    {
#ifdef Q_OS_UNIX
        const QTemporaryDir shm("/dev/shm/tst_makelist-XXXXXX");
        if (!shm.isValid())
            QSKIP("no /dev/shm (tmpfs) to set odd times on");
        QStringList paths; // years 11475 and 0 (1 BC), then the extremes
        for (const qint64 secs : {299950000000LL, -62150000000LL, LLONG_MAX, LLONG_MIN}) {
            paths << makeFile(shm.filePath(QString::number(secs)));
            const timespec times[2] = {{0, UTIME_OMIT}, { time_t(secs), 0 }};
            struct stat st;
            if (::utimensat(AT_FDCWD, qPrintable(paths.back()), times, 0) != 0 ||
                ::stat(qPrintable(paths.back()), &st) != 0 || st.st_mtime != secs)
                QSKIP("the file system does not keep such times");
        }
        drop(paths, {}, Japanese);
        const QStringList texts = column(MakeColumn::TIMESTUMP); // the days hold in any time zone
        QCOMPARE(texts.mid(2), QStringList({"9999/12/31 23:59:59", "0001/01/01"}));
        QVERIFY2(texts[0].startsWith("11475/01/") && texts[1].startsWith("-0001/07/"),
                 qPrintable(texts.join(" | ")));
        QCOMPARE(MakeAll(*m_list).made, 4);
        for (int n = 1; n <= 4; ++n)
            QCOMPARE(dummy(n).mid(20, 14), n % 2 ? "99991231235959" : "00010101000000");
#else
        QSKIP("needs Unix file-system features");
#endif
    }

    void duplicatesAndFolders()
    {
        const QString a = file("one/same.txt"), b = file("two/same.txt"), out = path("out");
        const IntakeResult r = drop({a, b, a}, {false, "  " + out + "  ", "p", Off}); // as saved
        QCOMPARE(QList<qsizetype>({r.added, r.duplicates}), QList<qsizetype>({1, 2}));
        QCOMPARE(r.collidedPaths, QStringList({b})); // a again is silent
        QCOMPARE(column(MakeColumn::FILE_PATH), QStringList({out}));
        drop({a}, {false, out + QDir::separator(), "p", Off}); // a trailing separator doubles
        QCOMPARE(m_list->item(2).key(), out + QDir::separator() + QDir::separator() + "psame.txt");
        for (const char *prefix : {"p", "p", "q"}) // a new prefix names it anew
            drop({b}, {true, "", prefix, Off});
        QCOMPARE(column(MakeColumn::FILE_NAME),
                 QStringList({"psame.txt", "psame.txt", "psame.txt", "qsame.txt"}));
#ifdef Q_OS_UNIX
        drop({"/tmp"}, {true, "", "p", Off}); // directly under the root
        QCOMPARE(column(MakeColumn::FILE_PATH).last(), "/");
#endif
    }

    // Only spaces are trimmed: a tab is text, in the folder as in the prefix. A chosen folder
    // must not depend on the folder the program was started from; a prefix must not lead the
    // dummy into another folder, nor hold control characters.
    void refusalsAndTrimming()
    {
        const QString src = file("r.txt");
        QCOMPARE(drop({src}, {false, "   ", "", Off}).outcome, IntakeResult::NoOutputFolder);
        QStringList relative{"dummies", "./x", "../x", "~/x", "\t" + path("x")};
#ifdef Q_OS_WIN
        relative += {"C:x", "\\x", "/x"};
        for (const char *absolute : {"c:/x", "//s/x"})
            QCOMPARE(drop({src}, {false, absolute, "", Off}).added, 1);
#endif
        for (const QString &folder : relative)
            QCOMPARE(drop({src}, {false, folder, "", Off}).outcome,
                     IntakeResult::RelativeOutputFolder);
        QCOMPARE(drop({src}, {true, "", "\t" + QString(254, 'x') + "\t", Off}).outcome,
                 IntakeResult::PrefixTooLong);
        for (const QString &prefix :
             {QString(" ../ "), QString("sub/"), QString("a\tb"), QString("a") + QChar(0) + "b",
              QString(QChar(0x1F)), QChar(0xDCC3) + QString("x"), QString(QChar(0xD83D))})
            QCOMPARE(drop({src}, {true, "", prefix, Off}).outcome,
                     IntakeResult::PrefixBadCharacter);
        QCOMPARE(drop({src}, {true, "", "a:b", Off}).outcome == IntakeResult::PrefixBadCharacter,
                 QDir::separator() == '\\');
        m_list->clear();
        // A path with NUL names no file: the intake stops there, as for an unreadable one,
        // and keeps the rows before.
        QVERIFY_THROWS_EXCEPTION(FileError, drop({src, src + QChar(0) + "x"}, {true, "", "", On}));
        QCOMPARE(m_list->count(), 1);
        QCOMPARE(drop({src}, {false, path("o"), "  " + QString(255, 'x') + "  ", Off}).added, 1);
    }

    void batch()
    {
        QStringList src;
        for (int i = 1; i <= 7; ++i)
            src << file(QString("s%1.txt").arg(i), i == 1 ? 10 : i == 5 ? 20 : 1);
        const QString dot = file(".hidden");
#ifdef Q_OS_WIN
        QVERIFY(SetFileAttributesW(dot.toStdWString().c_str(), FILE_ATTRIBUTE_HIDDEN));
#endif
        drop({src[0], src[1]}, {true, "", "A_", On});
        drop({src[2]}, {false, path("later"), "", Off}); // folder never made
        drop({src[3], src[4], src[5], src[6], dot, m_dir->path()}, {true, "", "", Off});
        drop({src[4]}, {false, src[0], "", Off}); // the chosen folder is a file
        QFile::remove(src[1]);
        file("__退避__s4.txt", 3);
        file("s6.txt", 2); // grown since listed
        file("s7.txt", 1, Morning.addSecs(1));

        QSignalSpy spy(m_list.get(), &MakeList::dataChanged);
        QCOMPARE(MakeAll(*m_list).made, 2);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy[0][2].value<QList<int>>(), QList<int>({Qt::DisplayRole, Qt::ToolTipRole}));
        QCOMPARE(column(MakeColumn::STATUS).join(""), "○×××○×××××");
        const QString missing = "元のファイルが見つかりません。",
                      noFolder = "作成場所のフォルダがありません。",
                      exists = "同じ名前のファイルが既にあります。",
                      changed = "元のファイルが一覧に追加した後に変更されています。"
                                "行を削除して、ファイルをもう一度ドロップして下さい。",
                      hidden = "元のファイルが隠しファイルです。",
                      notFile = "元のファイルが通常のファイルではありません。",
                      notFolder = "作成場所がフォルダではありません。";
        QStringList reasons{"",      missing, noFolder, exists,  "",
                            changed, changed, hidden,   notFile, notFolder};
        QCOMPARE(column(MakeColumn::STATUS, Qt::ToolTipRole), reasons);
        QCOMPARE(column(MakeColumn::FILE_NAME, Qt::ToolTipRole), column(MakeColumn::FILE_NAME));
        // Each record carries the prefix its own row was named with.
        QCOMPARE(dummy(1).mid(34, 2), QByteArray("\x02\x01", 2));
        QCOMPARE(dummy(5).mid(34, 2), QByteArray("\x06\x00", 2));
        QCOMPARE(dummy(4), QByteArray("xxx"));
        QVERIFY(!QFileInfo::exists(path("later")));
        QCOMPARE(QDir(m_dir->path()).entryList({"__退避__s[67]*"}), QStringList());

        QCOMPARE(MakeAll(*m_list).made, 0); // a later make replaces the reasons
        QCOMPARE(column(MakeColumn::STATUS), QStringList(10, "×"));
        reasons[0] = reasons[4] = exists;
        QCOMPARE(column(MakeColumn::STATUS, Qt::ToolTipRole), reasons);
        m_list->remove({6, 7}); // dropped again, they are listed as they are now, and made
        drop({src[5], src[6]});
        QCOMPARE(MakeAll(*m_list).made, 2);
        QCOMPARE(dummy(9).mid(8, 26), "00000002    20240305090407");
        QCOMPARE(dummy(10).mid(8, 26), "00000001    20240305090408");
        m_list->clear();
        QCOMPARE(MakeAll(*m_list).made + m_list->count(), 0);
    }

    // Removing rows frees their keys and keeps the others, and the row with an error, in
    // order; the views hear of one run of adjacent rows as a removal, of more as a reset.
    void remove()
    {
        QStringList src;
        for (const char *name : {"a", "b", "c", "d", "e", "f"})
            src << file(name);
        drop(src);
        m_list->setOutcome(5, DummyRefusal::None, "error");
        for (const int outside : {0, 7})
            QVERIFY_THROWS_EXCEPTION(std::out_of_range, m_list->remove({1, outside}));
        QSignalSpy removed(m_list.get(), &MakeList::rowsRemoved);
        QSignalSpy reset(m_list.get(), &MakeList::modelReset);
        const auto told = [&] {
            return QList<int>({int(removed.count()), int(reset.count()), m_list->errorRow()});
        };
        m_list->remove({3, 2, 3});
        QCOMPARE(told(), QList<int>({1, 0, 3}));
        m_list->remove({4, 1, 4});
        QCOMPARE(told(), QList<int>({1, 1, 2}));
        QCOMPARE(drop(src).added, 4);
        QCOMPARE(column(MakeColumn::FILE_NAME).join(' ').remove("__退避__"), "d e a b c f");
        m_list->remove({2});
        QCOMPARE(m_list->errorRow(), 0);
        m_list->setOutcome(1, DummyRefusal::None, "error");
        m_list->setOutcome(1, DummyRefusal::None); // the next make of that row
        QCOMPARE(m_list->errorRow(), 0);
    }

    // A stored size option out of range reads as off. Saved texts lose surrounding spaces;
    // the four are saved together or not at all.
    void options()
    {
        ClsIni settings;
        settings.IniName = path("PORONBO.INI");
        for (const QByteArray stored : {"[SYSTEM]\nSIZEADD=-1", "[SYSTEM]\nSIZEADD=3"}) {
            makeFile(settings.IniName, stored.size(), stored);
            QCOMPARE(LoadOptions(settings).SizeCheck, Off);
        }
        QFile::remove(settings.IniName);
        QVERIFY(SaveOptions(settings, {false, "  o u t  ", " P_ ", Greyed}));
        const QByteArray saved = readFile(settings.IniName);
        QCOMPARE(saved, newFileLines("[SYSTEM]\nOUTPOS=0\nOUTPATH=o u t\nINITIAL=P_\nSIZEADD=2\n"));
        QVERIFY(!SaveOptions(settings, {true, "a\nb", "", Off}));
        QCOMPARE(readFile(settings.IniName), saved);
    }
};

QTEST_GUILESS_MAIN(TestMakeList)
#include "tst_makelist.moc"
