#include "testutil.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <memory>

class TestWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<frmMain> m_window;
    QList<QPair<QMessageBox::Icon, QString>> m_messages;
    int m_progressShown = 0;

    template <class W = QWidget> W *child(const char *name) const
    {
        W *w = m_window->findChild<W *>(QLatin1String(name));
        if (!w)
            qFatal("no child %s", name);
        return w;
    }
    QString ini() const { return m_dir->filePath("PORONBO.INI"); }
    QString file(const QString &name) { return makeFile(m_dir->filePath(name), 4); }
    void open(const QByteArray &settings = {}, const QString &iniName = {})
    {
        if (!settings.isEmpty())
            makeFile(ini(), settings.size(), settings);
        m_window = std::make_unique<frmMain>(iniName.isEmpty() ? ini() : iniName);
        m_window->setMessageBox(
            [this](QMessageBox::Icon i, const QString &title, const QString &s) {
                QCOMPARE(title, "ポロンボ");
                m_messages.append({i, s});
            });
        m_window->setOnProgress([this](QProgressDialog &) { ++m_progressShown; });
        m_window->show();
    }
    void click(const char *button)
    {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }
    // Drags files onto target and drops them there, as the platform does.
    static void drop(QWidget *target, const QStringList &paths)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString &p : paths)
            urls << QUrl::fromLocalFile(QDir::fromNativeSeparators(p));
        data.setUrls(urls);
        QDragEnterEvent enter({5, 5}, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        QDropEvent dropped({5, 5}, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &dropped);
        QCOMPARE(dropped.dropAction(), Qt::CopyAction);
    }
    QStringList column(MakeColumn c) const { return ::column(m_window->makeList(), c); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_messages.clear();
        m_progressShown = 0;
    }
    void cleanup() { m_window.reset(); }

    void startUp_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<bool>("same");
        QTest::addColumn<int>("check");
        QTest::addColumn<QByteArray>("saved"); // SIZEADD as Create saves it back
        QTest::newRow("no file") << QByteArray() << true << int(Qt::Unchecked) << QByteArray("0");
        QTest::newRow("0, 1") << QByteArray("[SYSTEM]\nOUTPOS=0\nSIZEADD=1\nOUTPATH=C:\\o\n")
                              << false << int(Qt::Checked) << QByteArray("1");
        QTest::newRow("01, 2") << QByteArray("[SYSTEM]\nOUTPOS=01\nSIZEADD=2\nOUTPATH=C:\\o\n")
                               << false << int(Qt::PartiallyChecked) << QByteArray("2");
        QTest::newRow("yes, 7") << QByteArray("[SYSTEM]\nOUTPOS=yes\nSIZEADD=7\nOUTPATH=C:\\o\n")
                                << false << int(Qt::Unchecked) << QByteArray("0");
    }

    void startUp()
    {
        QFETCH(QByteArray, settings);
        QFETCH(bool, same);
        QFETCH(int, check);
        QFETCH(QByteArray, saved);
        open(settings);
        QCOMPARE(m_window->windowTitle(), QStringLiteral("ポロンボ  Ver 0.11"));
        QCOMPARE(child<QRadioButton>("optOutPath_0")->isChecked(), same);
        QCOMPARE(child<QRadioButton>("optOutPath_1")->isChecked(), !same);
        QCOMPARE(child<QLineEdit>("txtOutPath")->text(), same ? "" : "C:\\o");
        QCOMPARE(int(child<QCheckBox>("chkSize")->checkState()), check);
        QVERIFY(child("Picture1")->isVisible());
        const QHeaderView *header = child<QTreeView>("lvMakeList")->header();
        const QAbstractItemModel *model = header->model();
        QStringList columns; // key, header text, width in pixels, horizontal alignment
        for (int c = 0; c < header->count(); ++c) {
            const int align = model->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt();
            columns << QString("%1 %2 %3 %4")
                           .arg(QLatin1String(MakeColumns[size_t(c)].Key),
                                model->headerData(c, Qt::Horizontal).toString())
                           .arg(header->sectionSize(c))
                           .arg(align & Qt::AlignHorizontal_Mask);
        }
        QCOMPARE(columns, QStringList({"STATUS 結果 40 1", "FILE_PATH 作成場所 200 1",
                                       "FILE_NAME ファイル名 200 1", "SIZE サイズ 87 2",
                                       "EXT 拡張子 53 1", "TIMESTUMP 更新日 113 1"})); // 1 left
        QCOMPARE(frmMain::defaultIniName(),
                 QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + "/PORONBO.INI"));
        click("cmdMake");
        QVERIFY(readFile(ini()).contains("\nSIZEADD=" + saved + "\n"));
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
        drop(w, {file("A.txt"), file("a.txt"), file("b")}); // names differing in case only
        QCOMPARE(column(MakeColumn::FILE_NAME),
                 QStringList({"__退避__A.txt", "__退避__a.txt", "__退避__b"}));
        QVERIFY(!child("Picture1")->isVisible());
        QCOMPARE(child<QTreeView>("lvMakeList")->currentIndex().row(), 0);
        QVERIFY(m_messages.isEmpty());
    }

    void createMakesAndSaves()
    {
        open();
        QTest::mouseClick(child<QCheckBox>("chkSize"), Qt::LeftButton);
        child<QLineEdit>("txtInitial")->setText(" A_ ");
        drop(m_window.get(), {file("r.txt")});
        click("cmdMake");
        QCOMPARE(column(MakeColumn::STATUS), QStringList({"○"}));
        QCOMPARE(QFileInfo(m_dir->filePath("A_r(4).txt")).size(), 40);
        QCOMPARE(readFile(ini()), "[SYSTEM]\nOUTPOS=1\nOUTPATH=\nINITIAL=A_\nSIZEADD=1\n");
        QCOMPARE(m_progressShown, 0); // short work shows no progress

        click("cmdClear");
        QCOMPARE(m_window->makeList().count(), 0);
        QVERIFY(!child("Picture1")->isVisible());
    }

    void messagesAndKeptWork()
    {
        open();
        child<QRadioButton>("optOutPath_1")->setChecked(true);
        child<QLineEdit>("txtOutPath")->setText("  ");
        drop(m_window.get(), {file("a.txt")});
        child<QLineEdit>("txtOutPath")->setText("o");
        child<QLineEdit>("txtInitial")->setText(QString(256, 'x')); // typed, refused at the drop
        drop(m_window.get(), {file("a.txt")});
        QCOMPARE(m_messages,
                 decltype(m_messages)(
                     {{QMessageBox::Warning, "作成場所を指定して下さい。"},
                      {QMessageBox::Warning, "頭文字は255文字以内で指定して下さい。"}}));
        QVERIFY(child("Picture1")->isVisible());
        child<QLineEdit>("txtInitial")->clear();

        // An unreadable source ends the intake; the rows before it stay.
        child<QRadioButton>("optOutPath_0")->setChecked(true);
        const QString gone = QDir::toNativeSeparators(m_dir->filePath("gone.txt"));
        drop(m_window.get(), {file("e1.txt"), gone, file("e3.txt")});
        QCOMPARE(column(MakeColumn::FILE_NAME), QStringList({"__退避__e1.txt"}));
        QCOMPARE(m_messages.size(), 3);
        QCOMPARE(m_messages[2].first, QMessageBox::Critical);
        QVERIFY(m_messages[2].second.contains(gone));

        // A dummy the system refuses to create stops the batch; nothing is saved.
        child<QRadioButton>("optOutPath_1")->setChecked(true);
        child<QLineEdit>("txtOutPath")->setText(file("plain"));
        drop(m_window.get(), {file("e4.txt")});
        const QSignalSpy shown(&m_window->makeList(), &MakeList::dataChanged);
        click("cmdMake");
        QCOMPARE(column(MakeColumn::STATUS), QStringList({"○", ""}));
        QCOMPARE(shown.count(), 1); // the views see the marks made before the failure
        QCOMPARE(m_messages.size(), 4);
        QCOMPARE(m_messages[3].first, QMessageBox::Critical);
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!QFileInfo::exists(ini()));

        // A save that fails is reported; the dummies are made all the same.
        click("cmdClear");
        child<QRadioButton>("optOutPath_0")->setChecked(true);
        QVERIFY(QDir().mkdir(ini()));
        drop(m_window.get(), {file("e5.txt")});
        click("cmdMake");
        QCOMPARE(column(MakeColumn::STATUS), QStringList({"○"}));
        QCOMPARE(m_messages[4].first, QMessageBox::Warning);
        QVERIFY(m_messages[4].second.contains(QDir::toNativeSeparators(ini())));
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
        QCOMPARE(child("lvMakeList")->geometry(), QRect(QPoint(8, 88), list));
    }

    void cancelBatch()
    {
        open();
        QStringList paths;
        for (int i = 0; i < 20; ++i)
            paths << file(QStringLiteral("k%1.txt").arg(i));
        drop(m_window.get(), paths);
        m_window->setProgressDelay(0);
        m_window->setOnProgress([](QProgressDialog &dialog) {
            QCOMPARE(dialog.windowModality(), Qt::WindowModal);
            dialog.cancel();
        });
        click("cmdMake");
        QCOMPARE(column(MakeColumn::STATUS), QStringList({"○"}) + QStringList(19, QString()));
        QVERIFY(QFileInfo::exists(m_dir->filePath("__退避__k0.txt")));
        QVERIFY(!QFileInfo::exists(m_dir->filePath("__退避__k1.txt")));
        QVERIFY(QFileInfo::exists(ini())); // options saved as after a whole batch

        child<QLineEdit>("txtInitial")->setText("i");
        drop(m_window.get(), paths.mid(0, 3)); // a cancelled intake keeps what it took in
        QCOMPARE(column(MakeColumn::FILE_NAME).mid(20), QStringList({"ik0.txt"}));
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
        click("cmdMake");
        QCOMPARE(rowsDuringBatch, 2);
        QCOMPARE(column(MakeColumn::STATUS), QStringList({"○", "○"}));
        QTRY_COMPARE(column(MakeColumn::STATUS), QStringList({"○", "○", ""}));
    }

    void browse_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("text");
        QTest::newRow("cancel") << ""
                                << "keep";
        QTest::newRow("root") << "/" << QDir::toNativeSeparators("/");
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
        click("cmd_Ref");
        QCOMPARE(title, "ダミーファイルを作成するフォルダを選択し、[OK] を押してください");
        QCOMPARE(child<QLineEdit>("txtOutPath")->text(), text);
        QVERIFY(child<QRadioButton>("optOutPath_0")->isChecked());
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
