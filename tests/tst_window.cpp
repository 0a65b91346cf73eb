#include "ui/frmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <memory>

struct Message {
    QMessageBox::Icon icon;
    QString title, text;
};

class TestWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<frmMain> m_window;
    QList<Message> m_messages;

    template <class W = QWidget> W *child(const char *name) const
    {
        W *w = m_window->findChild<W *>(QLatin1String(name));
        if (!w)
            qFatal("no child %s", name);
        return w;
    }
    QString ini() const { return m_dir->filePath("PORONBO.INI"); }
    void open(const QByteArray &settings = {}, const QString &iniName = {})
    {
        if (!settings.isEmpty()) {
            QFile f(ini());
            if (!f.open(QIODevice::WriteOnly) || f.write(settings) != settings.size())
                qFatal("cannot write settings");
        }
        m_window = std::make_unique<frmMain>(iniName.isEmpty() ? ini() : iniName);
        m_window->setMessageBox([this](QMessageBox::Icon i, const QString &t, const QString &s) {
            m_messages << Message{i, t, s};
        });
        m_window->show();
    }
    QString file(const QString &name)
    {
        QFile f(m_dir->filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write("data") != 4)
            qFatal("cannot write %s", qPrintable(name));
        return QDir::toNativeSeparators(f.fileName());
    }
    // Drags files onto target and drops them there, as the platform does.
    static void drop(QWidget *target, const QStringList &paths)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString &p : paths)
            urls << QUrl::fromLocalFile(QDir::fromNativeSeparators(p));
        data.setUrls(urls);
        const QPoint at(5, 5);
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        QDropEvent dropped(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &dropped);
        QCOMPARE(dropped.dropAction(), Qt::CopyAction);
    }
    QStringList column(int c) const
    {
        QStringList out;
        for (int n = 1; n <= m_window->makeList().count(); ++n)
            out << (c ? m_window->makeList().item(n).SubItems.at(c - 1)
                      : m_window->makeList().item(n).Text);
        return out;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_messages.clear();
    }
    void cleanup() { m_window.reset(); }

    void startUp_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<bool>("same");
        QTest::addColumn<int>("check");
        QTest::newRow("no file") << QByteArray() << true << int(Qt::Unchecked);
        QTest::newRow("0, 1") << QByteArray("[SYSTEM]\nOUTPOS=0\nSIZEADD=1\nOUTPATH=C:\\out\n")
                              << false << int(Qt::Checked);
        QTest::newRow("01, 2") << QByteArray("[SYSTEM]\nOUTPOS=01\nSIZEADD=2\nOUTPATH=C:\\out\n")
                               << false << int(Qt::PartiallyChecked);
        QTest::newRow("yes, 7") << QByteArray("[SYSTEM]\nOUTPOS=yes\nSIZEADD=7\nOUTPATH=C:\\out\n")
                                << false << int(Qt::Unchecked);
    }

    void startUp()
    {
        QFETCH(QByteArray, settings);
        QFETCH(bool, same);
        QFETCH(int, check);
        open(settings);
        QCOMPARE(m_window->windowTitle(), QStringLiteral("ポロンボ  Ver 0.11"));
        QCOMPARE(child<QRadioButton>("optOutPath_0")->isChecked(), same);
        QCOMPARE(child<QRadioButton>("optOutPath_1")->isChecked(), !same);
        QCOMPARE(child<QLineEdit>("txtOutPath")->text(), same ? "" : "C:\\out");
        QCOMPARE(int(child<QCheckBox>("chkSize")->checkState()), check);
        QVERIFY(child("Picture1")->isVisible());
        const QHeaderView *header = child<QTreeView>("lvMakeList")->header();
        QCOMPARE(header->count(), 6);
        QCOMPARE(header->model()->headerData(3, Qt::Horizontal).toString(), "サイズ");
        QCOMPARE(header->sectionSize(1), 200);
        QCOMPARE(m_window->size(), QSize(553, 314));
        QVERIFY(!QFileInfo::exists(ini()) || !settings.isEmpty()); // start-up writes nothing
    }

    void defaultSettingsFile()
    {
        QCOMPARE(frmMain::defaultIniName(),
                 QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + "/PORONBO.INI"));
    }

    void dropTargets_data()
    {
        QTest::addColumn<QString>("target");
        for (const char *t : {"frmMain", "lvMakeList", "Picture1", "Label2"})
            QTest::newRow(t) << QString(t);
    }

    void dropTargets()
    {
        QFETCH(QString, target);
        open();
        QWidget *w = target == "frmMain"      ? m_window.get()
                     : target == "lvMakeList" ? child<QTreeView>("lvMakeList")->viewport()
                                              : child(qPrintable(target));
        const QStringList paths = {file("c.txt"), file("a.txt"), file("b")};
        drop(w, paths);
        QCOMPARE(column(SubFileName), QStringList({"__退避__c.txt", "__退避__a.txt", "__退避__b"}));
        QVERIFY(!child("Picture1")->isVisible());
        QCOMPARE(child<QTreeView>("lvMakeList")->currentIndex().row(), 0);
        QVERIFY(m_messages.isEmpty());
    }

    void noFolderMessage()
    {
        open("[SYSTEM]\nOUTPOS=0\nOUTPATH=  \n");
        drop(m_window.get(), {file("a.txt")});
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].icon, QMessageBox::Warning);
        QCOMPARE(m_messages[0].title, "ポロンボ");
        QCOMPARE(m_messages[0].text, "作成場所を指定して下さい。");
        QCOMPARE(m_window->makeList().count(), 0);
        QVERIFY(child("Picture1")->isVisible());
        QCOMPARE(child<QLineEdit>("txtInitial")->maxLength(), 255);
    }

    void createMakesAndSaves()
    {
        open();
        QTest::mouseClick(child<QCheckBox>("chkSize"), Qt::LeftButton);
        child<QLineEdit>("txtInitial")->setText(" A_ ");
        drop(m_window.get(), {file("r.txt")});
        QTest::mouseClick(child<QPushButton>("cmdMake"), Qt::LeftButton);
        QCOMPARE(column(0), QStringList({"○"}));
        QCOMPARE(QFileInfo(m_dir->filePath("A_r(4).txt")).size(), 40);
        QFile f(ini());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("[SYSTEM]\nOUTPOS=1\nOUTPATH=\nINITIAL=A_\nSIZEADD=1\n"));
        QVERIFY(!QApplication::overrideCursor());

        QTest::mouseClick(child<QPushButton>("cmdClear"), Qt::LeftButton);
        QCOMPARE(m_window->makeList().count(), 0);
        QVERIFY(!child("Picture1")->isVisible());
    }

    void failedSaveIsReported()
    {
        const QString plain = file("plain");
        open({}, plain + "/PORONBO.INI");
        drop(m_window.get(), {file("s.txt")});
        QTest::mouseClick(child<QPushButton>("cmdMake"), Qt::LeftButton);
        QCOMPARE(column(0), QStringList({"○"}));
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].icon, QMessageBox::Warning);
        QVERIFY(m_messages[0].text.contains(QDir::toNativeSeparators(plain + "/PORONBO.INI")));
    }

    void errorsAreShownAndWorkKept()
    {
        open();
        const QString gone = QDir::toNativeSeparators(m_dir->filePath("gone.txt"));
        drop(m_window.get(), {file("e1.txt"), gone, file("e3.txt")});
        QCOMPARE(column(SubFileName), QStringList({"__退避__e1.txt"}));
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].icon, QMessageBox::Critical);
        QVERIFY(m_messages[0].text.contains(gone));

        // A dummy the system refuses to create stops the batch; nothing is saved.
        child<QRadioButton>("optOutPath_1")->setChecked(true);
        child<QLineEdit>("txtOutPath")->setText(file("plain"));
        drop(m_window.get(), {file("e4.txt")});
        QTest::mouseClick(child<QPushButton>("cmdMake"), Qt::LeftButton);
        QCOMPARE(column(0), QStringList({"○", ""}));
        QCOMPARE(m_messages.size(), 2);
        QCOMPARE(m_messages[1].icon, QMessageBox::Critical);
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!QFileInfo::exists(ini()));
    }

    void resizeThresholds_data()
    {
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QSize>("list");
        QTest::newRow("design") << QSize(553, 314) << QSize(533, 217);
        QTest::newRow("at the thresholds") << QSize(158, 99) << QSize(533, 217);
        QTest::newRow("past the thresholds") << QSize(159, 100) << QSize(139, 3);
        QTest::newRow("wide, low") << QSize(700, 50) << QSize(680, 217);
    }

    void resizeThresholds()
    {
        QFETCH(QSize, client);
        QFETCH(QSize, list);
        open();
        m_window->resize(client);
        QCOMPARE(child("lvMakeList")->size(), list);
        QCOMPARE(child("lvMakeList")->pos(), QPoint(8, 88));
    }

    void cancelBatch()
    {
        open();
        QStringList paths;
        for (int i = 0; i < 20; ++i)
            paths << file(QStringLiteral("k%1.txt").arg(i));
        drop(m_window.get(), paths);
        int shown = 0;
        m_window->setOnProgress([&](QProgressDialog &) { ++shown; });
        QTest::mouseClick(child<QPushButton>("cmdMake"), Qt::LeftButton);
        QCOMPARE(shown, 0); // short work shows no progress

        m_window.reset();
        QDir(m_dir->path()).removeRecursively();
        QDir().mkpath(m_dir->path());
        for (const QString &p : paths)
            file(QFileInfo(p).fileName());
        open();
        drop(m_window.get(), paths);
        m_window->setProgressDelay(0);
        m_window->setOnProgress([&](QProgressDialog &dialog) {
            QCOMPARE(dialog.windowModality(), Qt::WindowModal);
            if (++shown == 1)
                dialog.cancel();
        });
        QTest::mouseClick(child<QPushButton>("cmdMake"), Qt::LeftButton);
        QCOMPARE(column(0), QStringList({"○"}) + QStringList(19, QString()));
        QVERIFY(QFileInfo::exists(m_dir->filePath("__退避__k0.txt")));
        QVERIFY(!QFileInfo::exists(m_dir->filePath("__退避__k1.txt")));
        QVERIFY(QFileInfo::exists(ini())); // options saved as after a whole batch
        QVERIFY(!QApplication::overrideCursor());
    }

    void cancelIntake()
    {
        open();
        m_window->setProgressDelay(0);
        m_window->setOnProgress([](QProgressDialog &dialog) { dialog.cancel(); });
        drop(m_window.get(), {file("i1.txt"), file("i2.txt"), file("i3.txt")});
        QCOMPARE(column(SubFileName), QStringList({"__退避__i1.txt"}));
    }

    void dropDuringBatchWaits()
    {
        open();
        drop(m_window.get(), {file("w1.txt"), file("w2.txt")});
        m_window->setProgressDelay(0);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file("late.txt"))});
        QWidget *list = child<QTreeView>("lvMakeList")->viewport();
        QCoreApplication::postEvent(
            list, new QDragEnterEvent({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, {}));
        QCoreApplication::postEvent(
            list, new QDropEvent({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, {}));
        int rowsDuringBatch = -1;
        m_window->setOnProgress(
            [&](QProgressDialog &) { rowsDuringBatch = m_window->makeList().count(); });
        QTest::mouseClick(child<QPushButton>("cmdMake"), Qt::LeftButton);
        QCOMPARE(rowsDuringBatch, 2);
        QCOMPARE(column(0), QStringList({"○", "○"}));
        QTRY_COMPARE(m_window->makeList().count(), 3);
        QCOMPARE(column(0).last(), QString());
    }

    void browse_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("text");
        QTest::newRow("cancel") << ""
                                << "keep";
        QTest::newRow("root") << "/" << QDir::toNativeSeparators("/");
        QTest::newRow("folder") << "/tmp/out" << QDir::toNativeSeparators("/tmp/out");
    }

    void browse()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, text);
        open();
        child<QLineEdit>("txtOutPath")->setText("keep");
        QString title;
        m_window->setFolderChooser([&](QWidget *, const QString &t) {
            title = t;
            return chosen;
        });
        QTest::mouseClick(child<QPushButton>("cmd_Ref"), Qt::LeftButton);
        QCOMPARE(title, "ダミーファイルを作成するフォルダを選択し、[OK] を押してください");
        QCOMPARE(child<QLineEdit>("txtOutPath")->text(), text);
        QVERIFY(child<QRadioButton>("optOutPath_0")->isChecked());
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
