#include "dummy/FileError.h"
#include "makelist/Batch.h"
#include "makelist/Intake.h"
#include "makelist/MakeList.h"
#include "settings/ClsIni.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace
{
const QLocale English(QLocale::English, QLocale::UnitedStates);
}

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
    QString file(const QString &name, qint64 size = 1,
                 const QDateTime &mtime = QDateTime(QDate(2024, 3, 5), QTime(9, 4, 7)))
    {
        QDir().mkpath(QFileInfo(m_dir->filePath(name)).path());
        QFile f(m_dir->filePath(name));
        if (!f.open(QIODevice::WriteOnly) || !f.resize(size) ||
            !f.setFileTime(mtime, QFileDevice::FileModificationTime))
            qFatal("cannot make %s", qPrintable(name));
        return path(name);
    }
    IntakeResult drop(const QStringList &paths, const MakeOptions &options = {},
                      const QLocale &locale = English)
    {
        return AddDroppedFiles(*m_list, options, QStringList{QString()} + paths, locale);
    }
    QStringList column(int subItem) const
    {
        QStringList out;
        for (int n = 1; n <= m_list->count(); ++n)
            out << (subItem ? m_list->item(n).SubItems.at(subItem - 1) : m_list->item(n).Text);
        return out;
    }
    QByteArray dummy(int n) const
    {
        QFile f(m_list->item(n).SubItems[0] + QDir::separator() + m_list->item(n).SubItems[1]);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_list = std::make_unique<MakeList>();
        m_tester = std::make_unique<QAbstractItemModelTester>(
            m_list.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        m_list->addColumn(1, "STATUS", "結果", 600, Qt::AlignLeft);
        m_list->addColumn(2, "FILE_PATH", "作成場所", 3000, Qt::AlignLeft);
        m_list->addColumn(3, "FILE_NAME", "ファイル名", 3000, Qt::AlignLeft);
        m_list->addColumn(4, "SIZE", "サイズ", 1300, Qt::AlignRight);
        m_list->addColumn(5, "EXT", "拡張子", 800, Qt::AlignLeft);
        m_list->addColumn(6, "TIMESTUMP", "更新日", 1700, Qt::AlignLeft);
    }

    void naming_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<int>("sizeCheck");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("ext");
        QTest::addColumn<int>("initialLen");

        QTest::newRow("prefix and size")
            << "data/report.txt" << qint64(512) << "A_" << 1 << English << "A_report(512).txt"
            << "txt" << 2;
        QTest::newRow("default prefix, zero size, no dot")
            << "data/README" << qint64(0) << "" << 1 << English << "__退避__README()"
            << "" << 6;
        QTest::newRow("size off") << "data/a.b.c" << qint64(9) << "  x  " << 0 << English
                                  << "xa.b.c"
                                  << "c" << 1;
        QTest::newRow("indeterminate is off")
            << "data/a.txt" << qint64(9) << "" << 2 << English << "__退避__a.txt"
            << "txt" << 6;
        QTest::newRow("dot only in prefix")
            << "data/README" << qint64(7) << "v1.0_" << 1 << English << "v1(7).0_README"
            << "" << 5;
        QTest::newRow("folder dot is no extension")
            << "old.files/README" << qint64(1) << "p" << 0 << English << "pREADME"
            << "" << 1;
        QTest::newRow("grouped with comma")
            << "data/big.bin" << qint64(1234567) << "B" << 1 << English << "Bbig(1,234,567).bin"
            << "bin" << 1;
        QTest::newRow("grouped with dot") << "data/big.bin" << qint64(1234567) << "B" << 1
                                          << QLocale(QLocale::German) << "Bbig(1.234.567).bin"
                                          << "bin" << 1;
        QTest::newRow("3 GiB never negative") << "data/huge.iso" << (qint64(3) << 30) << "B" << 1
                                              << English << "Bhuge(3,221,225,472).iso"
                                              << "iso" << 1;
    }

    void naming()
    {
        QFETCH(QString, source);
        QFETCH(qint64, size);
        QFETCH(QString, prefix);
        QFETCH(int, sizeCheck);
        QFETCH(QLocale, locale);
        QFETCH(QString, name);
        QFETCH(QString, ext);
        QFETCH(int, initialLen);

        const QString src = file(source, size);
        const IntakeResult r = drop({src}, {true, "", prefix, sizeCheck}, locale);
        QCOMPARE(r.outcome, IntakeResult::Added);
        QCOMPARE(m_list->count(), 1);
        const MakeItem &row = m_list->item(1);
        const QString folder = QFileInfo(src).path();
        QCOMPARE(row.SubItems[0], QDir::toNativeSeparators(folder));
        QCOMPARE(row.SubItems[1], name);
        QCOMPARE(row.Key, row.SubItems[0] + QDir::separator() + name);
        QCOMPARE(row.SubItems[2], QString::number(size));
        QCOMPARE(row.SubItems[3], ext);
        QCOMPARE(row.Tag, src);
        QCOMPARE(row.InitialLen, initialLen);
        QCOMPARE(row.SizeAdd, sizeCheck == 1);
        QVERIFY(row.Selected);
        QCOMPARE(m_list->indexOfKey(row.Key), 1);
    }

    void timeText()
    {
        const QString noon = file("a.txt", 1, QDateTime(QDate(2024, 3, 5), QTime(9, 4, 7)));
        const QString midnight = file("b.txt", 1, QDateTime(QDate(2024, 3, 5), QTime(0, 0)));
        drop({noon, midnight});
        QCOMPARE(column(SubTimeStamp), QStringList({"3/5/24 9:04:07 AM", "3/5/24"}));
        m_list->clear();
        drop({noon}, {}, QLocale(QLocale::Japanese, QLocale::Japan));
        QCOMPARE(column(SubTimeStamp), QStringList({"2024/03/05 9:04:07"}));
    }

    void folders()
    {
        const QString a = file("one/same.txt"), b = file("two/same.txt");
        const QString out = path("out");
        IntakeResult r = drop({a, b, a}, {false, out, "p", 0});
        QCOMPARE(r.added, 1);
        QCOMPARE(r.duplicates, 2);
        QCOMPARE(column(SubFilePath), QStringList({out}));

        const QString slash = out + QDir::separator();
        drop({a}, {false, slash, "p", 0});
        QCOMPARE(m_list->item(2).Key, slash + QDir::separator() + "psame.txt");
        QCOMPARE(drop({b}, {true, "", "p", 0}).added, 1);
        QCOMPARE(drop({b}, {true, "", "q", 0}).added, 1); // new prefix, new name
        QCOMPARE(m_list->count(), 4);
        QCOMPARE(column(SubFileName).last(), "qsame.txt");
        QVERIFY(m_list->item(1).Selected);
        QVERIFY(!m_list->item(4).Selected);
    }

    void refusalsAddNothing_data()
    {
        QTest::addColumn<MakeOptions>("options");
        QTest::addColumn<int>("outcome");
        QTest::newRow("no folder")
            << MakeOptions{false, "   ", "", 0} << int(IntakeResult::NoOutputFolder);
        QTest::newRow("prefix 256")
            << MakeOptions{true, "", QString(256, 'x'), 0} << int(IntakeResult::PrefixTooLong);
    }

    void refusalsAddNothing()
    {
        QFETCH(MakeOptions, options);
        QFETCH(int, outcome);
        QCOMPARE(int(drop({file("r.txt")}, options).outcome), outcome);
        QCOMPARE(m_list->count(), 0);
        QCOMPARE(drop({file("r.txt")}, {true, "", QString(255, 'x'), 0}).added, 1);
    }

    void unreadablePathKeepsEarlierRows()
    {
        const QString good = file("good.txt");
        QVERIFY_THROWS_EXCEPTION(FileError, drop({good, path("gone.txt"), file("late.txt")}));
        QCOMPARE(column(SubFileName), QStringList({"__退避__good.txt"}));
        QCOMPARE(m_list->rowCount(), 1);
    }

    void batch()
    {
        const QStringList src = {file("s1.txt", 10), file("s2.txt"), file("s3.txt"), file("s4.txt"),
                                 file("s5.txt", 20)};
        drop({src[0], src[1]}, {true, "", "A_", 1});
        drop({src[2]}, {false, path("later"), "", 0});
        drop({src[3], src[4]}, {true, "", "", 0});
        QVERIFY(QDir(m_dir->path()).mkdir("later"));
        QVERIFY(QDir(m_dir->path()).rmdir("later")); // -2
        QFile::remove(src[1]);                       // -1
        file("__退避__s4.txt", 3);                   // -3

        QSignalSpy spy(m_list.get(), &MakeList::dataChanged);
        const BatchResult r = MakeAll(*m_list);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(column(0), QStringList({"○", "×", "×", "×", "○"}));
        QCOMPARE(r.made, 2);
        // Each record carries the prefix its own row was named with.
        QCOMPARE(dummy(1).mid(34, 2), QByteArray("\x02\x01", 2));
        QCOMPARE(dummy(5).mid(34, 2), QByteArray("\x06\x00", 2));
        QCOMPARE(dummy(4), QByteArray(3, '\0'));
        QVERIFY(!QFileInfo::exists(path("later")));

        QCOMPARE(MakeAll(*m_list).made, 0);
        QCOMPARE(column(0), QStringList(5, "×"));
        m_list->clear();
        QCOMPARE(MakeAll(*m_list).made + m_list->count(), 0);
        QCOMPARE(m_list->columnCount(), 6);
    }

    void errorStopsBatch()
    {
        const QString plain = file("plain");
        drop({file("e1.txt")});
        drop({file("e2.txt"), file("e3.txt")}, {false, plain, "", 0});
        QVERIFY_THROWS_EXCEPTION(FileError, MakeAll(*m_list));
        QCOMPARE(column(0), QStringList({"○", "", ""}));
    }

    void cancel()
    {
        drop({file("c1.txt"), file("c2.txt"), file("c3.txt")});
        const BatchResult r = MakeAll(*m_list, [](qsizetype done, qsizetype) { return done < 2; });
        QVERIFY(r.cancelled);
        QCOMPARE(column(0), QStringList({"○", "○", ""}));
        m_list->clear();
        const IntakeResult i = AddDroppedFiles(*m_list, {}, {"", file("c1.txt"), file("c2.txt")},
                                               English, [](qsizetype, qsizetype) { return false; });
        QVERIFY(i.cancelled);
        QCOMPARE(m_list->count(), 1);
    }

    void options_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("same");
        QTest::addColumn<int>("size");
        QTest::newRow("no file") << QByteArray() << true << 0;
        QTest::newRow("0") << QByteArray("[SYSTEM]\nOUTPOS=0\nSIZEADD=1\n") << false << 1;
        QTest::newRow("01 / 2") << QByteArray("[system]\noutpos=01\nsizeadd=2\n") << false << 2;
        QTest::newRow("yes / 7") << QByteArray("[SYSTEM]\nOUTPOS=yes\nSIZEADD=7\n") << false << 0;
        QTest::newRow("1 / junk") << QByteArray("[SYSTEM]\nOUTPOS=1\nSIZEADD=x\n") << true << 0;
    }

    // A whole run through the core: options, intake, batch, options saved and read back.
    void options()
    {
        QFETCH(QByteArray, ini);
        QFETCH(bool, same);
        QFETCH(int, size);
        ClsIni settings;
        settings.IniName = path("PORONBO.INI");
        if (!ini.isEmpty()) {
            QFile f(settings.IniName);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(ini) == ini.size());
        }
        MakeOptions o = LoadOptions(settings);
        QCOMPARE(o.SameFolder, same);
        QCOMPARE(o.SizeCheck, size);

        o = {false, path(""), " P_ ", size};
        drop({file("in/run.txt", 5)}, o);
        QCOMPARE(MakeAll(*m_list).made, 1);
        o.OutPath = "  " + o.OutPath + "  ";
        QVERIFY(SaveOptions(settings, o));
        const MakeOptions back = LoadOptions(settings);
        QCOMPARE(back.OutPath, TrimSpaces(o.OutPath));
        QCOMPARE(back.Initial, "P_");
        QCOMPARE(back.SizeCheck, size);
        QVERIFY(!back.SameFolder);
    }
};

QTEST_GUILESS_MAIN(TestMakeList)
#include "tst_makelist.moc"
