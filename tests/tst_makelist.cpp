#include "fs/FileError.h"
#include "makelist/Batch.h"
#include "makelist/Intake.h"
#include "makelist/MakeList.h"
#include "settings/ClsIni.h"
#include "testutil.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <climits>
#include <stdexcept>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#endif

static const QLocale English(QLocale::English, QLocale::UnitedStates);
static const QDateTime Morning(QDate(2024, 3, 5), QTime(9, 4, 7));
static const Progress StopAtLast = [](qsizetype done, qsizetype total) { return done < total; };
constexpr auto Off = SizeCheckState::Off, On = SizeCheckState::On, Greyed = SizeCheckState::Greyed;
using R = IntakeResult;

class TestMakeList : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir; // shared: the cases' file names differ
    MakeList m_list;
    QAbstractItemModelTester m_tester{&m_list,
                                      QAbstractItemModelTester::FailureReportingMode::QtTest};

    QString path(const QString &n) const { return QDir::toNativeSeparators(m_dir.filePath(n)); }
    QString file(const QString &name, qint64 size = 1, const QDateTime &mtime = Morning)
    {
        return makeFile(m_dir.filePath(name), size, "x", mtime);
    }
    R drop(const QStringList &paths, const MakeOptions &o = {}, const QLocale &l = English)
    {
        return AddDroppedFiles(m_list, o, QStringList{QString()} + paths, l, StopAtLast);
    }
    QStringList column(MakeColumn c, int r = Qt::DisplayRole) { return ::column(m_list, c, r); }
    QByteArray dummy(int n) const { return readFile(m_list.item(n).key()); }

private slots:
    void init() { m_list.clear(); }

    // Rows: source, size, prefix, size check; prefix length, name, size and extension shown.
    void naming()
    {
        for (const auto &[source, size, prefix, check, expected] :
             QList<std::tuple<QString, qint64, QString, SizeCheckState, QStringList>>{
                 {"d/report.txt", 512, "A_", On, {"2", "A_report(512).txt", "512", "txt"}},
                 {"d/.rc", 0, "", On, {"6", "__退避__().rc", "0", "rc"}}, // default prefix
                 {"d/a.txt", 9, "", Greyed, {"6", "__退避__a.txt", "9", "txt"}},
                 {"d/README", 7, "v1.0_", On, {"5", "v1(7).0_README", "7", ""}},
                 {"old.files/README", 1, "p", On, {"1", "pREADME(1)", "1", ""}},
                 {"d/big.bin", 1234567, "B", On, {"1", "Bbig(1,234,567).bin", "1234567", "bin"}},
                 {"d/a", 1, "😀~\u00A0", Off, {"4", "😀~\u00A0a", "1", ""}}, // after DEL and C1
                 // Sizes the record cannot keep whole: told on their cell, unless in the name.
                 {"d/b", 0xFFFFFFFF, "", Off, {"6", "__退避__b", "4294967295", ""}},
                 {"d/b", 1LL << 32, "", On, {"6", "__退避__b(4,294,967,296)", "4294967296", ""}},
                 {"d/b", 1LL << 32, "", Off, {"6", "__退避__b", "4294967296", ""}}}) {
            m_list.clear();
            QCOMPARE(drop({file(source, size)}, {true, "", prefix, check}).added, 1);
            QStringList shown{QString::number(m_list.item(1).InitialLen)}; // FILE_NAME to TIMESTUMP
            for (int c = 2; c <= 5; ++c)
                shown << m_list.data(m_list.index(0, c)).toString();
            QCOMPARE(shown, expected + QStringList{"3/5/24 9:04:07 AM"});
            QCOMPARE(column(MakeColumn::SIZE, Qt::ToolTipRole)[0].contains("下位 32 ビット"),
                     size > 0xFFFFFFFF && check == Off);
        }
        // A group separator a name cannot hold on some system is written ",".
        QList<std::tuple<QString, qint64, QString>> groups{
            {".", 1234567, "(1.234.567)"},
            {" ~", 10000, "(10 ~000)"},
            {"\u00A0", 1000, "(1\u00A0000)"},
            {"/", LLONG_MAX, "(9,223,372,036,854,775,807)"}};
        for (const QChar c : u"/\\:*?\"<>|\x01\x1F\x7F\x80\x9F")
            groups.append({QString("'") + c, 1234, "(1,234)"});
        for (const auto &[group, size, expected] : groups)
            QCOMPARE(SizeText(QLocale::German, group).bracketed(size).toString(), expected);
    }

    // Times outside the years 1 to 9999 are recorded as the nearer limit, listed so if no date.
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
        drop(paths, {}, QLocale(QLocale::Japanese, QLocale::Japan));
        const QStringList texts = column(MakeColumn::TIMESTUMP); // the days hold in any time zone
        QCOMPARE(texts.mid(2), QStringList({"9999/12/31 23:59:59", "0001/01/01"}));
        QVERIFY(texts[0].startsWith("11475/01/") && texts[1].startsWith("-0001/07/"));
        QCOMPARE(MakeAll(m_list).made, 4);
#else
        // FILETIME reaches into the year 30828 (under Wine, tmpfs keeps such a time).
        const QTemporaryDir dir((underWine() ? "Z:/dev/shm" : QDir::tempPath()) + "/tst-XXXXXX");
        const QString path = makeFile(dir.filePath("late"));
        QFile late(path);
        QVERIFY(late.open(QIODevice::ReadWrite) &&
                late.setFileTime({{30000, 1, 2}, {}}, QFileDevice::FileModificationTime));
        late.close();
        drop({path}, {}, QLocale(QLocale::Japanese, QLocale::Japan));
        QVERIFY(column(MakeColumn::TIMESTUMP)[0].startsWith("30000/01/0"));
        QCOMPARE(MakeAll(m_list).made, 1);
        QCOMPARE(dummy(1).mid(20, 14), "99991231235959");
#endif
    }

    // A file's time is the wall clock of the zone (TZ) at that instant, also on either side of a
    // change to or from summer time; in the system's locale when Finnish, the date alone at 0:00.
    void zones()
    {
        const QByteArray tz = qgetenv("TZ");
        const bool fi = QLocale::system().name() == "fi_FI";
        const auto utc = [](int month, int day, int h, int m, int s) {
            return QDateTime({2024, month, day}, {h, m, s}, QTimeZone::utc());
        };
        const int ahead = tz == "Asia/Tokyo" || tz == "JST-9"           ? 9  // Wine's names
                          : tz == "America/New_York" || tz == "EST5EDT" ? -5 // in winter
                                                                        : 0;
        for (const auto &[time, summer] : QList<std::pair<QDateTime, int>>{
                 {utc(1, 15, 3, 0, 1), 0}, // the day before in New York
                 {utc(1, 15, 0, 0, 0).addSecs(-ahead * 3600), 0},
                 {utc(3, 10, 6, 59, 59), 0}, // summer time there begins
                 {utc(3, 10, 7, 0, 0), 1},
                 {utc(11, 3, 5, 59, 59), 1}, // and ends
                 {utc(11, 3, 6, 0, 0), 0}}) {
            const QDateTime wall = time.addSecs((ahead + (ahead == -5 && summer)) * 3600);
            m_list.clear();
            drop({file(wall.toString("MMddHHmmss"), 1, time)}, {},
                 fi ? QLocale::system() : English);
            const QString date = wall.toString(fi ? "d.M.yyyy" : "M/d/yy");
            QCOMPARE(column(MakeColumn::TIMESTUMP)[0],
                     wall.time() == QTime(0, 0)
                         ? date
                         : date + wall.toString(fi ? " H.mm.ss" : " h:mm:ss AP"));
            QCOMPARE(MakeAll(m_list).made, 1);
            QCOMPARE(dummy(1).mid(20, 14), wall.toString("yyyyMMddHHmmss").toLatin1());
        }
    }

    // Keys stay unique while the index grows, and after a clear; a new prefix names anew.
    void duplicatesAndFolders()
    {
        QStringList paths; // each dropped as made
        for (int i = 0; i < 300; ++i)
            drop({paths.emplace_back(file(QString("k/%1").arg(i)))});
        QCOMPARE(drop(paths + paths).duplicates, 600);
        m_list.clear();
        QCOMPARE(drop(paths).added, 300); // a full key table
        QList<int> odd(150);              // removed, their keys freed, the others' still found
        std::generate(odd.begin(), odd.end(), [n = -1]() mutable { return n += 2; });
        m_list.remove(odd);
        QCOMPARE(drop(paths.last(140)).added, 70); // looked up before the table grows
        QCOMPARE(drop(paths + paths).added, 80);
        const QString a = file("one/same.txt"), b = file("two/same.txt"), out = path("out");
        const R r = drop({a, b, a}, {false, "  " + out + "  ", "p", Off}); // as saved
        QCOMPARE(QList<qsizetype>({r.added, r.duplicates}), QList<qsizetype>({1, 2}));
        QCOMPARE(r.collidedPaths, QStringList({b}));           // a again is silent
        drop({a}, {false, out + QDir::separator(), "p", Off}); // a trailing separator doubles
        for (const char *prefix : {"p", "q"})
            drop({b, b}, {true, "", prefix, Off});
        QCOMPARE(column(MakeColumn::FILE_PATH).mid(300, 2),
                 QStringList({out, out + QDir::separator()}));
        QCOMPARE(column(MakeColumn::FILE_NAME).mid(302), QStringList({"psame.txt", "qsame.txt"}));
#ifdef Q_OS_UNIX
        drop({"/tmp"}, {true, "", "p", Off}); // directly under the root
        QCOMPARE(column(MakeColumn::FILE_PATH).last(), "/");
#endif
        // Windows compares names without case, "/" as "\\": one dummy however spelled, and
        // one source spelled twice is no collision. Unix compares them byte for byte.
        const QString twin = file("case/Same.txt"), same = file("case/same.txt");
        const QString other = m_dir.path().toLower() + "/OUT"; // "c:/...", the drive too
        m_list.clear();
        QList<qsizetype> counts;
        for (const R &r : {drop({twin, same}), drop({a, b}, {false, out, "", Off}),
                           drop({a, b}, {false, other, "", Off})})
            counts << r.added << r.duplicates << r.collisions;
        QCOMPARE(counts, QDir::separator() == '\\' ? QList<qsizetype>({1, 1, 0, 1, 1, 1, 0, 2, 1})
                                                   : QList<qsizetype>({2, 0, 0, 1, 1, 1, 1, 1, 1}));
    }

    // Refused: a relative folder, a prefix leading elsewhere or with control characters.
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
        QCOMPARE(drop({src}, {true, "", '\t' + QString(254, 'x') + '\t', Off}).outcome,
                 R::PrefixTooLong);
        for (const QString &prefix :
             {QString(" ../ "), QString("sub/"), QString("a\tb"), QString("a") + QChar(0) + "b",
              QString(QChar(0x1F)), QString(QChar(0x7F)), QString(QChar(0x80)) + "a",
              QString(QChar(0x9F)), QChar(0xDCC3) + QString("x"), QString(QChar(0xD83D))})
            QCOMPARE(drop({src}, {true, "", prefix, Off}).outcome, R::PrefixBadCharacter);
        // NUL ends the intake, keeping earlier rows. Spaces trimmed; a last-row stop is no cancel.
        QVERIFY_THROWS_EXCEPTION(FileError, drop({src, src + QChar(0) + "x"}, {true, "", "", On}));
        QVERIFY(!drop({src}, {false, path("o"), "  " + QString(255, 'x') + "  ", Off}).cancelled);
        QCOMPARE(m_list.count(), 2);
        QCOMPARE(drop({src}, {true, "", "a:b", Off}).outcome == R::PrefixBadCharacter,
                 QDir::separator() == '\\');
#ifdef Q_OS_WIN
        for (const char *absolute : {"c:/x", "//s/x"})
            QCOMPARE(drop({src}, {false, absolute, "", Off}).added, 1);
#endif
        // Options are saved the four together or none; a size option out of range reads as off.
        ClsIni settings;
        settings.IniName = path("PORONBO.INI");
        QVERIFY(!SaveOptions(settings, {true, "a\nb", "", Off}));
        QVERIFY(!QFileInfo::exists(settings.IniName));
        for (const QByteArray stored : {"[SYSTEM]\nSIZEADD=-1", "[SYSTEM]\nSIZEADD=3"}) {
            makeFile(settings.IniName, stored.size(), stored);
            QCOMPARE(LoadOptions(settings).SizeCheck, Off);
        }
    }

    // Made and refused for each reason, told at once, each record with its row's prefix.
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
        drop({src[3], src[4], src[5], src[6], dot, m_dir.path()}, {true, "", "", Off});
        drop({src[4]}, {false, src[0], "", Off}); // the chosen folder is a file
        QFile::remove(src[1]);
        file("__退避__s4.txt", 3);
        file("s6.txt", 2); // grown since listed
        file("s7.txt", 1, Morning.addSecs(1));
        QSignalSpy spy(&m_list, &MakeList::dataChanged);
        QCOMPARE(MakeAll(m_list).made, 2);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy[0][2].value<QList<int>>(), QList<int>({Qt::DisplayRole, Qt::ToolTipRole}));
        QCOMPARE(column(MakeColumn::STATUS).join(""), "○×××○×××××");
        const QString exists = "同じ名前のファイルが既にあります。",
                      changed = "元のファイルが一覧に追加した後に変更されています。"
                                "行を削除して、ファイルをもう一度ドロップして下さい。";
        QStringList reasons{"", "元のファイルが見つかりません。",
                            "作成場所のフォルダがありません。"};
        reasons << exists << "" << changed << changed << "元のファイルが隠しファイルです。"
                << "元のファイルが通常のファイルではありません。"
                << "作成場所がフォルダではありません。";
        QCOMPARE(column(MakeColumn::STATUS, Qt::ToolTipRole), reasons);
        QCOMPARE(dummy(1).mid(34, 2) + dummy(5).mid(34, 2), QByteArray("\x02\x01\x06\x00", 4));
        const BatchResult again = MakeAll(m_list, StopAtLast); // replaces the reasons; no cancel
        QCOMPARE(QList<qsizetype>({again.made, again.alreadyMade, again.refused, again.cancelled}),
                 QList<qsizetype>({0, 2, 8, 0}));
        reasons[0] = reasons[4] = "作成済みです。";
        QCOMPARE(column(MakeColumn::STATUS, Qt::ToolTipRole), reasons);
    }

    // Removing frees keys, keeps rows and the error's in order; views hear of one run of rows.
    void remove()
    {
        QStringList src;
        for (const char *name : {"a", "b", "c", "d", "e", "f"})
            src << file(QString("r/") + name);
        drop(src);
        m_list.setOutcome(5, DummyRefusal::None, "error");
        for (const int outside : {0, 7})
            QVERIFY_THROWS_EXCEPTION(std::out_of_range, m_list.remove({1, outside}));
        QSignalSpy removed(&m_list, &MakeList::rowsRemoved), reset(&m_list, &MakeList::modelReset);
        m_list.remove({3, 2, 3});
        QCOMPARE(QList<qsizetype>({removed.size(), reset.size(), m_list.errorRow()}),
                 QList<qsizetype>({1, 0, 3}));
        m_list.remove({4, 1, 3}); // the row with the error among them
        QCOMPARE(QList<qsizetype>({removed.size(), reset.size(), m_list.errorRow()}),
                 QList<qsizetype>({1, 1, 0}));
        QCOMPARE(drop(src).added, 5);
        QCOMPARE(column(MakeColumn::FILE_NAME).join(' ').remove("__退避__"), "d a b c e f");
        m_list.setOutcome(2, DummyRefusal::None, "error");
        m_list.setOutcome(2, DummyRefusal::None); // the next make of the row with the error
        QCOMPARE(m_list.errorRow(), 0);
    }
};

QTEST_GUILESS_MAIN(TestMakeList)
#include "tst_makelist.moc"
