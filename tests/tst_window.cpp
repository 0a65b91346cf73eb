#include "dummy/FileError.h"
#include "testutil.h"
#include "ui/CommandLine.h"
#include "ui/frmMain.h"

#include <QtTest>
#include <QtWidgets>
#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

class TestWindow : public QObject
{
    Q_OBJECT

    using Messages = QList<QPair<QMessageBox::Icon, QString>>;
    std::unique_ptr<QTemporaryDir> m_dir;
    QTemporaryDir m_config;
    std::unique_ptr<frmMain> m_window;
    Messages m_messages;
    QStringList m_starts;
    int m_progressShown = 0;

    template <class W = QWidget> W *child(const char *name) const
    {
        W *w = m_window->findChild<W *>(QLatin1String(name));
        if (!w)
            qFatal("no child %s", name);
        return w;
    }
    QTableView *list() const { return child<QTableView>("lvMakeList"); }
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
    void setOptions(bool same, const QString &outPath, const QString &initial = {})
    {
        child<QRadioButton>(same ? "optOutPath_0" : "optOutPath_1")->setChecked(true);
        child<QLineEdit>("txtOutPath")->setText(outPath);
        child<QLineEdit>("txtInitial")->setText(initial);
    }
    void click(const char *button)
    {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }
    static QList<QUrl> urls(const QStringList &paths)
    {
        QList<QUrl> urls;
        for (const QString &p : paths)
            urls << QUrl::fromLocalFile(QDir::fromNativeSeparators(p));
        return urls;
    }
    // Drops files as the platform does, after a refused drag of a web URL, with one among them.
    void drop(const QStringList &paths, QWidget *target = nullptr)
    {
        dropUrls(QList<QUrl>{QUrl("http://example.com/a.txt")} + urls(paths), target);
    }
    void dropUrls(const QList<QUrl> &urls, QWidget *target = nullptr)
    {
        target = target ? target : m_window.get();
        QMimeData web, data;
        web.setUrls({QUrl("http://example.com/a.txt")});
        QDragEnterEvent refused({5, 5}, Qt::CopyAction, &web, Qt::LeftButton, {});
        QApplication::sendEvent(target, &refused);
        QVERIFY(!refused.isAccepted());
        data.setUrls(urls);
        QDragEnterEvent enter({5, 5}, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        QDropEvent dropped({5, 5}, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &dropped);
        QCOMPARE(dropped.dropAction(), Qt::CopyAction);
    }
    QStringList column(MakeColumn c) const { return ::column(m_window->makeList(), c); }
    // Adds files by a drop on the named widget, Qt's file dialog, or the clipboard (URL list or
    // GNOME's form); m_starts gets the folder each dialog started in.
    void add(const QString &way, const QStringList &paths)
    {
        if (way.startsWith("drop ")) {
            const QString to = way.mid(5);
            return drop(paths, to == "frmMain"      ? m_window.get()
                               : to == "lvMakeList" ? list()->viewport()
                                                    : child(qPrintable(to)));
        }
        m_window->activateWindow(); // as it is again once a dialog has closed
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QString names;
        QByteArray gnome = "copy";
        for (const QUrl &u : urls(paths)) {
            names += '"' + u.toLocalFile() + "\" ";
            gnome += "\n" + u.toEncoded();
        }
        const bool dialog = way.contains("O") || way.contains("追加");
        if (dialog) {
            QTimer::singleShot(0, m_window.get(), [this, names] {
                auto *dialog = m_window->findChild<QFileDialog *>();
                if (!dialog)
                    return;
                m_starts << (dialog->fileMode() == QFileDialog::ExistingFiles
                                 ? QDir::toNativeSeparators(dialog->directory().path())
                                 : "other mode");
                dialog->findChild<QLineEdit *>("fileNameEdit")->setText(names);
                static_cast<QDialog *>(dialog)->accept();
            });
        } else {
            auto *data = new QMimeData;
            if (way.contains("gnome"))
                data->setData("x-special/gnome-copied-files", gnome);
            else
                data->setUrls(urls(paths));
            QGuiApplication::clipboard()->setMimeData(data);
        }
        if (way.startsWith("menu"))
            list()->actions()[dialog ? 0 : 1]->trigger();
        else
            QTest::keyClick(list(), dialog ? Qt::Key_O : Qt::Key_V, Qt::ControlModifier);
    }

private slots:
    // Qt's file dialog keeps its state in a folder of the tests' own, not the user's.
    void initTestCase() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path())); }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_messages.clear();
        m_starts.clear();
        m_progressShown = 0;
        open();
    }
    void cleanup() { m_window.reset(); }

    void startUp_data()
    {
        QTest::addColumn<QByteArray>("settings"); // OUTPOS and SIZEADD; empty: no file
        QTest::addColumn<int>("check");
        QTest::addColumn<int>("saved"); // SIZEADD as Create saves it back
        QTest::newRow("no file") << QByteArray() << int(Qt::Unchecked) << 0;
        QTest::newRow("0, 1") << QByteArray("0\nSIZEADD=1") << int(Qt::Checked) << 1;
        QTest::newRow("01, 2") << QByteArray("01\nSIZEADD=2") << int(Qt::PartiallyChecked) << 2;
        QTest::newRow("yes, 3") << QByteArray("yes\nSIZEADD=3") << int(Qt::Unchecked) << 0;
        QTest::newRow("0, -1") << QByteArray("0\nSIZEADD=-1") << int(Qt::Unchecked) << 0;
    }
    void startUp()
    {
        QFETCH(QByteArray, settings);
        QFETCH(int, check);
        QFETCH(int, saved);
        const bool same = settings.isEmpty();
        if (!same)
            open("[SYSTEM]\nOUTPATH=C:\\" + QByteArray(40000, 'o') + "\nOUTPOS=" + settings + "\n");
        QCOMPARE(child<QRadioButton>("optOutPath_0")->isChecked(), same);
        QCOMPARE(child<QRadioButton>("optOutPath_1")->isChecked(), !same);
        const QString out = same ? "" : "C:\\" + QString(40000, 'o'); // however long
        QCOMPARE(child<QLineEdit>("txtOutPath")->text(), out);
        QCOMPARE(int(child<QCheckBox>("chkSize")->checkState()), check);
        click("cmdMake");
        // A new file ends its lines as the platform does; an existing one keeps its own.
        const auto line = [same](const QByteArray &text) {
            return same ? newFileLines(text) : text;
        };
        QVERIFY(readFile(ini()).contains(line("\nSIZEADD=" + QByteArray::number(saved) + "\n")));
        QVERIFY(readFile(ini()).contains(line("OUTPATH=" + out.toUtf8() + "\n")));
    }

    void addWays_data()
    {
        QTest::addColumn<QString>("way");
        for (const char *way :
             {"drop frmMain", "drop lvMakeList", "drop Picture1", "drop Label2", "Ctrl+O",
              "menu ファイルを追加...", "Ctrl+V", "Ctrl+V gnome", "menu 貼り付け gnome"})
            QTest::newRow(way) << QString(way);
    }
    // Every way of adding gives what a drop gives: messages, rows, order, duplicates.
    void addWays()
    {
        QFETCH(QString, way);
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        list()->setFocus();
        setOptions(false, {});
        add(way, {file("x.txt")});
        QVERIFY(child("Picture1")->isVisible());
        setOptions(true, {});
        add(way, {file("z.txt"), file("y"), m_dir->filePath("x.txt")});
        QVERIFY(!child("Picture1")->isVisible());
        QCOMPARE(list()->currentIndex().row(), 0);
        add(way, {file("w"), file("y"), file("W")}); // names differing in case only
        QCOMPARE(
            column(MakeColumn::FILE_NAME),
            QStringList({"__退避__z.txt", "__退避__y", "__退避__x.txt", "__退避__w", "__退避__W"}));
        QCOMPARE(m_messages, Messages({{QMessageBox::Warning, "作成場所を指定して下さい。"}}));
        const QString home = QDir::toNativeSeparators(QDir::homePath());
        QCOMPARE(m_starts, way.contains("O") || way.contains("追加")
                               ? QStringList({home, home, QDir::toNativeSeparators(m_dir->path())})
                               : QStringList());
    }

    void clipboard_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QByteArray>("content"); // <f> is the URL of an existing file
        QTest::addColumn<bool>("taken");
        const auto row = [](const char *tag, const char *format, const char *content, bool taken) {
            QTest::newRow(tag) << QByteArray(format) << QByteArray(content) << taken;
        };
        row("URL list", "text/uri-list", "<f>\r\n", true);
        row("web URL", "text/uri-list", "https://example.org/f\r\n", false);
        row("GNOME cut", "x-special/gnome-copied-files", "cut\n<f>", true);
        row("GNOME, no file", "x-special/gnome-copied-files", "copy\n", false);
        row("a path as text", "text/plain", "<p>", false);
        row("a URL as text", "text/plain", "<f>", false);
    }
    // Only a file manager's file list is pasted; anything else greys the entry, silently.
    void clipboard()
    {
        QFETCH(QByteArray, format);
        QFETCH(QByteArray, content);
        QFETCH(bool, taken);
        const QString f = file("f.txt");
        auto *data = new QMimeData;
        data->setData(
            format,
            content.replace("<f>", QUrl::fromLocalFile(f).toEncoded()).replace("<p>", f.toUtf8()));
        QGuiApplication::clipboard()->setMimeData(data);
        QCOMPARE(child<QAction>("mnuPaste")->isEnabled(), taken);
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTest::keyClick(list(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(column(MakeColumn::FILE_NAME),
                 taken ? QStringList("__退避__f.txt") : QStringList());
        QVERIFY(m_messages.isEmpty());
    }

    // Every control has an accessible name (buttons a description too) and a place in Tab order.
    void accessibility()
    {
        drop({file("r")});
        QList<QAccessibleInterface *> nodes{QAccessible::queryAccessibleInterface(m_window.get())};
        int seen = 0;
        while (!nodes.isEmpty()) {
            QAccessibleInterface *n = nodes.takeFirst();
            ++seen;
            QVERIFY2(!n->text(QAccessible::Name).isEmpty() &&
                         (n->role() != QAccessible::Button ||
                          !n->text(QAccessible::Description).isEmpty()),
                     qPrintable(n->object()->objectName()));
            for (int i = 0; i < n->childCount() && n->role() != QAccessible::Table; ++i)
                nodes << n->child(i);
        }
        QCOMPARE(seen, 13);
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        child("optOutPath_0")->setFocus();
        list()->setCurrentIndex({});
        QStringList order; // the option buttons are one stop
        for (int i = 0; i < 8; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(list()->currentIndex().row(), 0);
        QCOMPARE(order.join(' '),
                 "txtOutPath cmd_Ref txtInitial chkSize cmdClear cmdMake lvMakeList optOutPath_0");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QVERIFY(child<QRadioButton>("optOutPath_1")->isChecked());
    }

    void createMakesAndSaves()
    {
        const QString iniName = m_dir->filePath("config/poronbo/PORONBO.INI");
        open({}, QDir::toNativeSeparators(iniName));
        QTest::mouseClick(child<QCheckBox>("chkSize"), Qt::LeftButton);
        child<QLineEdit>("txtInitial")->setText(" A_ ");
        drop({file("r.txt")});
        QVERIFY(!QFileInfo::exists(m_dir->filePath("config")));
        click("cmdMake");
        QCOMPARE(column(MakeColumn::STATUS), QStringList({"○"}));
        QCOMPARE(QFileInfo(m_dir->filePath("A_r(4).txt")).size(), 40);
        QCOMPARE(readFile(iniName),
                 newFileLines("[SYSTEM]\nOUTPOS=1\nOUTPATH=\nINITIAL=A_\nSIZEADD=1\n"));
        QCOMPARE(m_progressShown, 0); // short work shows no progress
        click("cmdClear");
        QCOMPARE(m_window->makeList().count(), 0);
        QVERIFY(!child("Picture1")->isVisible());
    }

    void removeRows()
    {
        QStringList src;
        for (int i = 1; i <= 5; ++i)
            src << file(QString("r%1").arg(i));
        drop(src);
        list()->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        for (const int row : {0, 1, 3})
            list()->selectionModel()->select(m_window->makeList().index(row, 0),
                                             QItemSelectionModel::Select |
                                                 QItemSelectionModel::Rows);
        QTest::keyClick(list(), Qt::Key_Delete);
        QCOMPARE(column(MakeColumn::FILE_NAME).join(' ').remove("__退避__"), "r3 r5");
        drop({src[3], src[2]});
        QCOMPARE(column(MakeColumn::FILE_NAME).join(' ').remove("__退避__"), "r3 r5 r4");
        list()->actions().last()->trigger();
        QCOMPARE(m_window->makeList().count(), 0);
    }

    void messagesAndKeptWork()
    {
        const QList<std::tuple<bool, QString, QString, QString>> refused{
            {false, "  ", {}, "作成場所を指定して下さい。"},
            {false, "dummies", {}, "作成場所はフルパスで指定して下さい。"},
            {false, m_dir->path(), QString(256, 'x'), "頭文字は255文字以内で指定して下さい。"},
            {true, "o", "../", "頭文字にファイル名に使えない文字が含まれています。"}};
        for (const auto &[same, outPath, initial, message] : refused) {
            setOptions(same, outPath, initial); // typed, refused at the drop
            drop({file("a.txt")});
            QCOMPARE(m_messages.takeLast(), qMakePair(QMessageBox::Warning, message));
        }

        // An unreadable source ends the intake; the rows before it stay.
        setOptions(true, {});
        const QString gone = QDir::toNativeSeparators(m_dir->filePath("gone.txt"));
        drop({file("e1.txt"), gone, file("e3.txt")});
        QCOMPARE(column(MakeColumn::FILE_NAME), QStringList({"__退避__e1.txt"}));
        QVERIFY(!child("Picture1")->isVisible());
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].first, QMessageBox::Critical);
        QVERIFY(m_messages[0].second.contains(gone));

        // A dummy the system refuses to create stops the batch; nothing is saved.
        setOptions(true, {}, QString(10, 'p')); // a name too long for the file system
        drop({file(QString(250, 'n'))});
        const QSignalSpy shown(&m_window->makeList(), &MakeList::dataChanged);
        click("cmdMake");
        QCOMPARE(column(MakeColumn::STATUS), QStringList({"○", ""}));
        QCOMPARE(shown.count(), 1); // the views see the marks made before the failure
        QCOMPARE(m_messages.size(), 2);
        QCOMPARE(m_messages[1].first, QMessageBox::Critical);
        // The row it stopped at is selected, its reason the system's.
        const QStringList tips =
            ::column(m_window->makeList(), MakeColumn::STATUS, Qt::ToolTipRole);
        QVERIFY2(tips[0].isEmpty() && !tips[1].isEmpty() &&
                     m_messages[1].second.endsWith("\n" + tips[1]),
                 qPrintable(tips.join(" | ")));
        QCOMPARE(list()->selectionModel()->selectedRows(),
                 QModelIndexList({m_window->makeList().index(1, 0)}));
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!QFileInfo::exists(ini()));

        // A save that fails is reported; the dummies are made all the same.
        click("cmdClear");
        setOptions(true, {});
        QVERIFY(QDir().mkdir(ini()));
        drop({file("e5.txt")});
        click("cmdMake");
        QCOMPARE(column(MakeColumn::STATUS), QStringList({"○"}));
        QCOMPARE(m_messages[2].first, QMessageBox::Warning);
        QVERIFY(m_messages[2].second.contains(QDir::toNativeSeparators(ini())));
#ifdef Q_OS_LINUX
        // A settings folder not even root can make: the reason is that step's, not the save's.
        open({}, "/sys/poronbo-test/PORONBO.INI");
        drop({file("e6.txt")});
        click("cmdMake");
        QCOMPARE(m_messages.size(), 4);
        QVERIFY2(!m_messages[3].second.endsWith(systemReason(ENOENT)),
                 qPrintable(m_messages[3].second));
#endif

        // Sources that would make a listed dummy: named in one message, at most ten.
        QStringList same{file("c0/x.txt")};
        setOptions(false, m_dir->path());
        drop(same);
        for (int i = 1; i <= 11; ++i)
            same << file(QString("c%1/x.txt").arg(i));
        const qsizetype told = m_messages.size();
        drop(same);
        QCOMPARE(m_messages.size(), told + 1);
        QCOMPARE(m_messages.last().first, QMessageBox::Information);
        QCOMPARE(
            m_messages.last().second,
            "同じ名前のダミーになるファイルがあるため、次のファイルは追加しませんでした。\n\n" +
                same.mid(1, 10).join('\n') + "\nほか 1 件");
    }

    // A drop's names keep their bytes from the URL to the dummy; a URL with NUL is passed over.
    void oddNames()
    {
#ifdef Q_OS_UNIX
        const QByteArray dir = QFile::encodeName(m_dir->path()) + '/';
        const auto unlinkOdd = qScopeGuard([&] {
            for (const char *name : {"\xff\xfe.bin", "__退避__\xff\xfe.bin"})
                ::unlink(dir + name);
        });
        QVERIFY(::rename(qPrintable(makeFile(m_dir->filePath("o"), 7)), dir + "\xff\xfe.bin") == 0);
        const auto url = [&](const QByteArray &name) {
            return QUrl::fromEncoded("file://" + (dir + name).toPercentEncoding("/"));
        };
        dropUrls({url("\xff\xfe.bin"), url(QByteArray("n.txt\0x", 7)),
                  QUrl::fromLocalFile(file("n.txt"))});
        QVERIFY(m_messages.isEmpty());
        const QString odd = QString(QChar(0xDCFF)) + QChar(0xDCFE) + ".bin";
        QCOMPARE(m_window->makeList().item(1).FileName, "__退避__" + odd);
        QCOMPARE(column(MakeColumn::FILE_NAME),
                 QStringList({"__退避__\uFFFD\uFFFD.bin", "__退避__n.txt"})); // as shown
        QCOMPARE(column(MakeColumn::SIZE), QStringList({"7", "4"}));
        click("cmdMake");
        QCOMPARE(column(MakeColumn::STATUS), QStringList({"○", "○"}));
        QCOMPARE(::access(dir + "__退避__\xff\xfe.bin", F_OK), 0);
        dropUrls({url("\xff-gone")}); // the message shows what it cannot decode
        QVERIFY(m_messages.size() == 1 && m_messages[0].second.contains("\uFFFD-gone"));
#else
        // Names the ANSI code page cannot hold keep their characters through to the dummy.
        const QString odd = "한😀ü.bin";
        dropUrls({QUrl::fromLocalFile(makeFile(m_dir->filePath(odd), 7))});
        QVERIFY(m_messages.isEmpty());
        click("cmdMake");
        QCOMPARE(column(MakeColumn::STATUS), QStringList({"○"}));
        QCOMPARE(QFileInfo(m_dir->filePath("__退避__" + odd)).size(), 40);
#endif
    }

    void commandLine_data()
    {
        QTest::addColumn<QByteArrayList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<QStringList>("files"); // relative to the current folder
        const auto row = [](const char *tag, QByteArrayList arguments, CommandAction action,
                            QStringList files) {
            QTest::newRow(tag) << arguments << int(action) << files;
        };
        row("files", {"a", "b", "a"}, CommandAction::Run, {"a", "b", "a"});
        row("help after a file", {"a", "--help"}, CommandAction::Help, {"a"});
        row("version", {"--version", "x"}, CommandAction::Version, {"x"});
        row("options end at --", {"--", "--help", "-"}, CommandAction::Run, {"--help", "-"});
        row("short forms are files", {"-h", "-v"}, CommandAction::Run, {"-h", "-v"});
        row("empty names nothing", {"", "./d/../c", "/x/./y"}, CommandAction::Run, {"c", "/x/y"});
    }
    void commandLine()
    {
        QFETCH(QByteArrayList, arguments);
        QFETCH(int, action);
        QFETCH(QStringList, files);
        arguments.prepend("poronbo");
        std::vector<const char *> argv;
        QList<Argument> given;
        for (const QByteArray &a : arguments) {
            argv.push_back(a.constData());
            given << Argument(a.constData());
        }
        QCOMPARE(int(requestedAction(int(argv.size()), argv.data())), action);
        QStringList expected;
        for (const QString &f : files)
            expected << QDir::toNativeSeparators(QDir::current().absoluteFilePath(f));
        QCOMPARE(argumentFiles(given), expected);
    }

    void resizeThresholds()
    {
        const QList<QPair<QSize, QSize>> rows{
            {{158, 99}, {533, 217}}, {{159, 100}, {139, 3}}, {{700, 50}, {680, 217}}};
        for (const auto &[client, size] : rows) {
            open(); // each from the first size
            m_window->resize(client);
            QCOMPARE(list()->geometry(), QRect(QPoint(8, 88), size));
        }
    }

    // During work nothing is removed or pasted, drops wait; Cancel stops it, options are saved.
    void cancelAndDropDuringWork()
    {
        QStringList paths;
        for (int i = 0; i < 20; ++i)
            paths << file(QStringLiteral("k%1.txt").arg(i));
        drop(paths);
        m_window->setProgressDelay(0);
        const QString late = file("late.txt");
        auto *pasted = new QMimeData;
        pasted->setUrls({QUrl::fromLocalFile(file("pasted"))});
        QGuiApplication::clipboard()->setMimeData(pasted);
        int rowsDuringWork = -1;
        m_window->setOnProgress([&](QProgressDialog &dialog) {
            QCOMPARE(dialog.windowModality(), Qt::WindowModal);
            if (rowsDuringWork < 0) {
                drop({late}, list()->viewport());
                child<QAction>("mnuPaste")->trigger();
            }
            list()->selectAll();
            child<QAction>("mnuRemoveRows")->trigger();
            rowsDuringWork = m_window->makeList().count();
            dialog.cancel();
        });
        click("cmdMake");
        QCOMPARE(rowsDuringWork, 20);
        QCOMPARE(column(MakeColumn::STATUS), QStringList({"○"}) + QStringList(19, QString()));
        QVERIFY(!QFileInfo::exists(m_dir->filePath("__退避__k1.txt")));
        QVERIFY(QFileInfo::exists(ini()));
        QTRY_COMPARE(column(MakeColumn::FILE_NAME).mid(20), QStringList({"__退避__late.txt"}));
        child<QLineEdit>("txtInitial")->setText("i");
        drop(paths.mid(0, 3));
        QCOMPARE(column(MakeColumn::FILE_NAME).mid(21), QStringList({"ik0.txt"}));
    }

    // The folder dialog starts in the typed folder if it exists, else at home; Cancel keeps text.
    void browse()
    {
        const QString dir = QDir::toNativeSeparators(m_dir->path()), f = file("f");
        const QString home = QDir::toNativeSeparators(QDir::homePath());
        const QList<std::tuple<QString, QString, QString>> rows{
            {"keep", {}, home}, {dir, "/", dir}, {dir + "/no", "/tmp/o", home}, {f, {}, home}};
        for (const auto &[outPath, chosen, start] : rows) {
            child<QLineEdit>("txtOutPath")->setText(QDir::toNativeSeparators(outPath));
            QString started;
            m_window->setFolderChooser([&](QWidget *, const QString &, const QString &s) {
                started = s;
                return chosen;
            });
            click("cmd_Ref");
            QCOMPARE(started, start);
            QCOMPARE(child<QLineEdit>("txtOutPath")->text(),
                     QDir::toNativeSeparators(chosen.isEmpty() ? outPath : chosen));
        }
        QVERIFY(child<QRadioButton>("optOutPath_0")->isChecked());
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
