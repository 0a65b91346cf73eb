#include "dummy/FileError.h"
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

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#endif

static const QLocale English(QLocale::English, QLocale::UnitedStates);
static const QLocale Japanese(QLocale::Japanese, QLocale::Japan);
static const QDateTime Morning(QDate(2024, 3, 5), QTime(9, 4, 7));
static const Progress StopAtLast = [](qsizetype done, qsizetype total) { return done < total; };
constexpr auto Off = SizeCheckState::Off, On = SizeCheckState::On, Greyed = SizeCheckState::Greyed;
using R = IntakeResult;

class TestMakeList : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MakeList> m_list;
    std::unique_ptr<QAbstractItemModelTester> m_tester;

    QString path(const QString &n) const { return QDir::toNativeSeparators(m_dir->filePath(n)); }
    QString file(const QString &name, qint64 size = 1, const QDateTime &mtime = Morning)
    {
        return makeFile(m_dir->filePath(name), size, "x", mtime);
    }
    R drop(const QStringList &paths, const MakeOptions &o = {}, const QLocale &l = English,
           const Progress &progress = {})
    {
        return AddDroppedFiles(*m_list, o, QStringList{QString()} + paths, l, progress);
    }
    QStringList column(MakeColumn c, int r = Qt::DisplayRole) { return ::column(*m_list, c, r); }
    QByteArray dummy(int n) const { return readFile(m_list->item(n).key()); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_list = std::make_unique<MakeList>();
        m_tester = std::make_unique<QAbstractItemModelTester>(
            m_list.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }

    // Rows: the source, its size, the prefix, the size check; the prefix length, name, extension.
    void naming()
    {
        for (const auto &[source, size, prefix, check, expected] :
             QList<std::tuple<QString, qint64, QString, SizeCheckState, QStringList>>{
                 {"d/report.txt", 512, "A_", On, {"2", "A_report(512).txt", "txt"}},
                 {"d/.rc", 0, "", On, {"6", "__退避__().rc", "rc"}}, // default prefix, dot first
                 {"d/a.txt", 9, "", Greyed, {"6", "__退避__a.txt", "txt"}},
                 {"d/README", 7, "v1.0_", On, {"5", "v1(7).0_README", ""}},
                 {"old.files/README", 1, "p", On, {"1", "pREADME(1)", ""}},
                 {"d/big.bin", 1234567, "B", On, {"1", "Bbig(1,234,567).bin", "bin"}},
                 {"d/a", 1, "😀", Off, {"2", "😀a", ""}}}) {
            m_list->clear();
            const QString src = file(source, size);
            QCOMPARE(drop({src}, {true, "", prefix, check}).added, 1);
            QStringList shown{QString::number(m_list->item(1).InitialLen)}; // then columns 1 to 5
            for (int c = 1; c <= 5; ++c)
                shown << m_list->data(m_list->index(0, c)).toString();
            QCOMPARE(shown,
                     QStringList({expected[0], QDir::toNativeSeparators(QFileInfo(src).path()),
                                  expected[1], QString::number(size), expected[2],
                                  "3/5/24 9:04:07 AM"}));
        }
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
            if (::utimensat(AT_FDCWD, qPrintable(paths.back()), times, 0) != 0)
                QSKIP("the file system does not take such times");
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

    // Keys stay unique while the index grows a row at a time, and after a clear; a new prefix
    // names a source anew.
    void duplicatesAndFolders()
    {
        QStringList paths;
        for (int i = 0; i < 300; ++i)
            paths << file(QString("k/%1").arg(i));
        for (const QString &p : paths)
            drop({p});
        QCOMPARE(drop(paths + paths).duplicates, 600);
        m_list->clear();
        QCOMPARE(drop(paths + paths).added, 300);
        m_list->clear();
        const QString a = file("one/same.txt"), b = file("two/same.txt"), out = path("out");
        const R r = drop({a, b, a}, {false, "  " + out + "  ", "p", Off}); // as saved
        QCOMPARE(QList<qsizetype>({r.added, r.duplicates}), QList<qsizetype>({1, 2}));
        QCOMPARE(r.collidedPaths, QStringList({b}));           // a again is silent
        drop({a}, {false, out + QDir::separator(), "p", Off}); // a trailing separator doubles
        for (const char *prefix : {"p", "q"})
            drop({b, b}, {true, "", prefix, Off});
        QCOMPARE(column(MakeColumn::FILE_PATH).mid(0, 2),
                 QStringList({out, out + QDir::separator()}));
        QCOMPARE(column(MakeColumn::FILE_NAME).mid(2), QStringList({"psame.txt", "qsame.txt"}));
#ifdef Q_OS_UNIX
        drop({"/tmp"}, {true, "", "p", Off}); // directly under the root
        QCOMPARE(column(MakeColumn::FILE_PATH).last(), "/");
#endif
    }

    // A chosen folder must not depend on the current one, a prefix not lead into another folder
    // nor hold control characters. Only spaces are trimmed: a tab is text.
    void refusalsAndTrimming()
    {
        const QString src = file("r.txt");
        QCOMPARE(drop({src}, {false, "   ", "", Off}).outcome, R::NoOutputFolder);
        QStringList relative{"dummies", "./x", "../x", "~/x", "\t" + path("x")};
#ifdef Q_OS_WIN
        relative += {"C:x", "\\x", "/x"};
#endif
        for (const QString &folder : relative)
            QCOMPARE(drop({src}, {false, folder, "", Off}).outcome, R::RelativeOutputFolder);
        QCOMPARE(drop({src}, {true, "", "\t" + QString(254, 'x') + "\t", Off}).outcome,
                 R::PrefixTooLong);
        for (const QString &prefix :
             {QString(" ../ "), QString("sub/"), QString("a\tb"), QString("a") + QChar(0) + "b",
              QString(QChar(0x1F)), QChar(0xDCC3) + QString("x"), QString(QChar(0xD83D))})
            QCOMPARE(drop({src}, {true, "", prefix, Off}).outcome, R::PrefixBadCharacter);
        // A path with NUL names no file: the intake stops there, keeping the rows before.
        QVERIFY_THROWS_EXCEPTION(FileError, drop({src, src + QChar(0) + "x"}, {true, "", "", On}));
        const QString longest = "  " + QString(255, 'x') + "  ";
        QVERIFY(!drop({src}, {false, path("o"), longest, Off}, English, StopAtLast).cancelled);
        QCOMPARE(m_list->count(), 2);
        QCOMPARE(drop({src}, {true, "", "a:b", Off}).outcome == R::PrefixBadCharacter,
                 QDir::separator() == '\\');
#ifdef Q_OS_WIN
        for (const char *absolute : {"c:/x", "//s/x"})
            QCOMPARE(drop({src}, {false, absolute, "", Off}).added, 1);
#endif
    }

    // Rows made and refused for each reason, one notification per make, each record with its
    // own row's prefix; a later make replaces the reasons, and is not cancelled at its end.
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
        const QString exists = "同じ名前のファイルが既にあります。",
                      changed = "元のファイルが一覧に追加した後に変更されています。"
                                "行を削除して、ファイルをもう一度ドロップして下さい。";
        QStringList reasons{"",
                            "元のファイルが見つかりません。",
                            "作成場所のフォルダがありません。",
                            exists,
                            "",
                            changed,
                            changed,
                            "元のファイルが隠しファイルです。",
                            "元のファイルが通常のファイルではありません。",
                            "作成場所がフォルダではありません。"};
        QCOMPARE(column(MakeColumn::STATUS, Qt::ToolTipRole), reasons);
        QCOMPARE(dummy(1).mid(34, 2) + dummy(5).mid(34, 2), QByteArray("\x02\x01\x06\x00", 4));
        QVERIFY(!MakeAll(*m_list, StopAtLast).cancelled); // stopped after the last row
        reasons[0] = reasons[4] = exists;
        QCOMPARE(column(MakeColumn::STATUS, Qt::ToolTipRole), reasons);
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
        m_list->setOutcome(2, DummyRefusal::None); // the next make of the row with the error
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
        QVERIFY(!SaveOptions(settings, {true, "a\nb", "", Off}));
        QCOMPARE(readFile(settings.IniName),
                 newFileLines("[SYSTEM]\nOUTPOS=0\nOUTPATH=o u t\nINITIAL=P_\nSIZEADD=2\n"));
    }
};

QTEST_GUILESS_MAIN(TestMakeList)
#include "tst_makelist.moc"
