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
    // Drags files onto target and drops them there, as the platform does.
    static void drop(QWidget *target, const QStringList &paths)
    {
        QList<QUrl> urls;
        for (const QString &p : paths)
            urls << QUrl::fromLocalFile(QDir::fromNativeSeparators(p));
        dropUrls(target, urls);
    }
    static void dropUrls(QWidget *target, const QList<QUrl> &urls)
    {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter({5, 5}, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        QDropEvent dropped({5, 5}, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &dropped);
        QCOMPARE(dropped.dropAction(), Qt::CopyAction);
    }
    QStringList column(MakeColumn c) const { return ::column(m_window->makeList(), c); }
    // Adds files the way named: a drop; Ctrl+O or the menu entry, with Qt's file dialog
    // answered; Ctrl+V or the menu entry, with the files on the clipboard as a URL list or
    // in GNOME's form. m_starts gets the folder each dialog started in.
    void add(const QString &way, const QStringList &paths)
    {
        auto *list = child<QTableView>("lvMakeList");
        if (way == "drop")
            return drop(list->viewport(), paths);
        m_window->activateWindow(); // as it is again once a dialog has closed
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QList<QUrl> urls;
        QString names;
        QByteArray gnome = "copy";
        for (const QString &p : paths) {
            urls << QUrl::fromLocalFile(QDir::fromNativeSeparators(p));
            names += '"' + urls.last().toLocalFile() + "\" ";
            gnome += "\n" + urls.last().toEncoded();
        }
        if (way.contains("O") || way.contains("追加")) {
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
                data->setUrls(urls);
            QGuiApplication::clipboard()->setMimeData(data);
        }
        if (way.startsWith("menu"))
            list->actions()[way.contains("追加") ? 0 : 1]->trigger();
        else
            QTest::keyClick(list, way.contains("O") ? Qt::Key_O : Qt::Key_V, Qt::ControlModifier);
    }

private slots:
    // Qt's file dialog keeps its state in a folder of the tests' own, not the user's.
    void initTestCase() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path())); }
    // Each test starts with a fresh window on an empty folder.
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
        QCOMPARE(m_window->windowTitle(), QStringLiteral("ポロンボ  Ver 0.20"));
        QCOMPARE(m_window->windowIcon().availableSizes(),
                 QList<QSize>(
                     {{16, 16}, {24, 24}, {32, 32}, {48, 48}, {64, 64}, {128, 128}, {256, 256}}));
        QCOMPARE(child<QRadioButton>("optOutPath_0")->isChecked(), same);
        QCOMPARE(child<QRadioButton>("optOutPath_1")->isChecked(), !same);
        const QString out = same ? "" : "C:\\" + QString(40000, 'o'); // however long
        QCOMPARE(child<QLineEdit>("txtOutPath")->text(), out);
        QCOMPARE(int(child<QCheckBox>("chkSize")->checkState()), check);
        // Beside the program when its folder is writable, else in the user's folder.
        const QString exe = QCoreApplication::applicationDirPath();
        const QString folder =
            QFileInfo(exe).isWritable()
                ? exe
                : QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        QCOMPARE(frmMain::defaultIniName(), QDir::toNativeSeparators(folder + "/PORONBO.INI"));
        click("cmdMake");
        // A new file ends its lines as the platform does; an existing one keeps its own.
        const auto line = [same](const QByteArray &text) {
            return same ? newFileLines(text) : text;
        };
        QVERIFY(readFile(ini()).contains(line("\nSIZEADD=" + QByteArray::number(saved) + "\n")));
        QVERIFY(readFile(ini()).contains(line("OUTPATH=" + out.toUtf8() + "\n")));
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
        QWidget *w = target == "frmMain"      ? m_window.get()
                     : target == "lvMakeList" ? child<QTableView>("lvMakeList")->viewport()
                                              : child(qPrintable(target));
        // A drag with no local file is not taken; other URLs beside files are passed over.
        QMimeData web;
        web.setUrls({QUrl("http://example.com/a.txt")});
        QDragEnterEvent enter({5, 5}, Qt::CopyAction, &web, Qt::LeftButton, {});
        QApplication::sendEvent(w, &enter);
        QVERIFY(!enter.isAccepted());
        dropUrls(w, {QUrl("http://example.com/a.txt"), QUrl::fromLocalFile(file("A.txt"))});
        drop(w, {file("a.txt"), file("b")}); // names differing in case only
        QCOMPARE(column(MakeColumn::FILE_NAME),
                 QStringList({"__退避__A.txt", "__退避__a.txt", "__退避__b"}));
        QVERIFY(!child("Picture1")->isVisible());
        QCOMPARE(child<QTableView>("lvMakeList")->currentIndex().row(), 0);
        QVERIFY(m_messages.isEmpty());
    }

    void addWithoutMouse_data()
    {
        QTest::addColumn<QString>("way");
        for (const char *way : {"drop", "Ctrl+O", "menu ファイルを追加...", "Ctrl+V",
                                "Ctrl+V gnome", "menu 貼り付け gnome"})
            QTest::newRow(way) << QString(way);
    }

    // Every way of adding gives what a drop gives: messages, rows, order, duplicates.
    void addWithoutMouse()
    {
        QFETCH(QString, way);
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        child("lvMakeList")->setFocus();
        setOptions(false, {});
        add(way, {file("x.txt")});
        setOptions(true, {});
        add(way, {file("z.txt"), file("y"), m_dir->filePath("x.txt")});
        add(way, {file("w"), file("y")});
        QCOMPARE(column(MakeColumn::FILE_NAME),
                 QStringList({"__退避__z.txt", "__退避__y", "__退避__x.txt", "__退避__w"}));
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

    // Only a file manager's file list is pasted; anything else greys the entry and is
    // ignored without a message.
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
        QTest::keyClick(child("lvMakeList"), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(column(MakeColumn::FILE_NAME),
                 taken ? QStringList("__退避__f.txt") : QStringList());
        QVERIFY(m_messages.isEmpty());
    }

    // Every control has its role and a name a screen reader speaks ("+": a description
    // too); Tab reaches each in reading order, arrows move between the option buttons.
    void accessibility()
    {
        drop(m_window.get(), {file("r")});
        const QMetaEnum roles = QMetaEnum::fromType<QAccessible::Role>();
        QList<QAccessibleInterface *> nodes{QAccessible::queryAccessibleInterface(m_window.get())};
        QStringList seen;
        while (!nodes.isEmpty()) {
            QAccessibleInterface *n = nodes.takeFirst();
            seen << QString("%1 %2 %3%4")
                        .arg(n->object()->objectName(), roles.valueToKey(n->role()),
                             n->text(QAccessible::Name),
                             n->text(QAccessible::Description).isEmpty() ? "" : " +");
            for (int i = 0; i < n->childCount() && n->role() != QAccessible::Table; ++i)
                nodes << n->child(i);
        }
        seen.sort();
        QCOMPARE(seen, QStringList({"Label1 StaticText 頭文字",
                                    "Label2 StaticText ファイルをドロップして下さい。",
                                    "Picture1 Grouping ファイルのドロップ先 +",
                                    "chkSize CheckBox ファイル名にサイズを付ける",
                                    "cmdClear Button リストクリア +", "cmdMake Button 作成 +",
                                    "cmd_Ref Button 参照 +", "frmMain Window " + frmMain::title(),
                                    "lvMakeList Table 作成するダミーファイルの一覧",
                                    "optOutPath_0 RadioButton 同じ場所に作成",
                                    "optOutPath_1 RadioButton 作成場所を指定する",
                                    "txtInitial EditableText 頭文字",
                                    "txtOutPath EditableText 作成場所"}));

        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        child("optOutPath_0")->setFocus();
        auto *list = child<QTableView>("lvMakeList");
        list->setCurrentIndex({});
        QStringList order; // the option buttons are one stop
        for (int i = 0; i < 8; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(list->currentIndex().row(), 0);
        QCOMPARE(order.join(' '),
                 "txtOutPath cmd_Ref txtInitial chkSize cmdClear cmdMake lvMakeList optOutPath_0");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QVERIFY(child<QRadioButton>("optOutPath_1")->isChecked());
    }

    // Create makes the dummies, then saves the options, making the settings folder first.
    void createMakesAndSaves()
    {
        const QString iniName = m_dir->filePath("config/poronbo/PORONBO.INI");
        open({}, QDir::toNativeSeparators(iniName));
        QTest::mouseClick(child<QCheckBox>("chkSize"), Qt::LeftButton);
        child<QLineEdit>("txtInitial")->setText(" A_ ");
        drop(m_window.get(), {file("r.txt")});
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

    // Delete (or the context menu) removes the selected rows; a removed file comes back.
    void removeRows()
    {
        QStringList src;
        for (int i = 1; i <= 5; ++i)
            src << file(QString("r%1").arg(i));
        drop(m_window.get(), src);
        auto *list = child<QTableView>("lvMakeList");
        list->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        for (const int row : {0, 1, 3})
            list->selectionModel()->select(m_window->makeList().index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(column(MakeColumn::FILE_NAME).join(' ').remove("__退避__"), "r3 r5");
        drop(m_window.get(), {src[3], src[2]});
        QCOMPARE(column(MakeColumn::FILE_NAME).join(' ').remove("__退避__"), "r3 r5 r4");
        QStringList menu;
        for (const QAction *a : list->actions())
            menu << a->text();
        QCOMPARE(menu.join(" "), "ファイルを追加... 貼り付け  選択した行を削除 リストクリア");
        list->actions().last()->trigger();
        QCOMPARE(m_window->makeList().count(), 0);
    }

    void messagesAndKeptWork()
    {
        setOptions(false, "  ");
        drop(m_window.get(), {file("a.txt")});
        setOptions(false, "dummies");
        drop(m_window.get(), {file("a.txt")});
        setOptions(false, m_dir->path(), QString(256, 'x')); // typed, refused at the drop
        drop(m_window.get(), {file("a.txt")});
        setOptions(true, "o", "../");
        drop(m_window.get(), {file("a.txt")});
        const auto warning = QMessageBox::Warning;
        QCOMPARE(m_messages,
                 Messages({{warning, "作成場所を指定して下さい。"},
                           {warning, "作成場所はフルパスで指定して下さい。"},
                           {warning, "頭文字は255文字以内で指定して下さい。"},
                           {warning, "頭文字にファイル名に使えない文字が含まれています。"}}));
        QVERIFY(child("Picture1")->isVisible());
        QCOMPARE(m_window->makeList().count(), 0);

        // An unreadable source ends the intake; the rows before it stay.
        setOptions(true, {});
        const QString gone = QDir::toNativeSeparators(m_dir->filePath("gone.txt"));
        drop(m_window.get(), {file("e1.txt"), gone, file("e3.txt")});
        QCOMPARE(column(MakeColumn::FILE_NAME), QStringList({"__退避__e1.txt"}));
        QVERIFY(!child("Picture1")->isVisible());
        QCOMPARE(m_messages.size(), 5);
        QCOMPARE(m_messages[4].first, QMessageBox::Critical);
        QVERIFY(m_messages[4].second.contains(gone));

        // A dummy the system refuses to create stops the batch; nothing is saved.
        setOptions(true, {}, QString(10, 'p')); // a name too long for the file system
        drop(m_window.get(), {file(QString(250, 'n'))});
        const QSignalSpy shown(&m_window->makeList(), &MakeList::dataChanged);
        click("cmdMake");
        QCOMPARE(column(MakeColumn::STATUS), QStringList({"○", ""}));
        QCOMPARE(shown.count(), 1); // the views see the marks made before the failure
        QCOMPARE(m_messages.size(), 6);
        QCOMPARE(m_messages[5].first, QMessageBox::Critical);
        // The row it stopped at is selected, its reason the system's.
        const QStringList tips =
            ::column(m_window->makeList(), MakeColumn::STATUS, Qt::ToolTipRole);
        QVERIFY2(tips[0].isEmpty() && !tips[1].isEmpty() &&
                     m_messages[5].second.endsWith("\n" + tips[1]),
                 qPrintable(tips.join(" | ")));
        QCOMPARE(child<QTableView>("lvMakeList")->selectionModel()->selectedRows(),
                 QModelIndexList({m_window->makeList().index(1, 0)}));
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!QFileInfo::exists(ini()));

        // A save that fails is reported; the dummies are made all the same.
        click("cmdClear");
        setOptions(true, {});
        QVERIFY(QDir().mkdir(ini()));
        drop(m_window.get(), {file("e5.txt")});
        click("cmdMake");
        QCOMPARE(column(MakeColumn::STATUS), QStringList({"○"}));
        QCOMPARE(m_messages[6].first, QMessageBox::Warning);
        QVERIFY(m_messages[6].second.contains(QDir::toNativeSeparators(ini())));
#ifdef Q_OS_LINUX
        // A settings folder that cannot be made (in sysfs, not even by root): the reason
        // is that of the step that failed, not of the save after it.
        open({}, "/sys/poronbo-test/PORONBO.INI");
        drop(m_window.get(), {file("e6.txt")});
        click("cmdMake");
        QCOMPARE(m_messages.size(), 8);
        QVERIFY2(!m_messages[7].second.endsWith(systemReason(ENOENT)),
                 qPrintable(m_messages[7].second));
#endif

        // Sources that would make a listed dummy: named in one message, at most ten.
        QStringList same{file("c0/x.txt")};
        setOptions(false, m_dir->path());
        drop(m_window.get(), same);
        for (int i = 1; i <= 11; ++i)
            same << file(QString("c%1/x.txt").arg(i));
        const qsizetype told = m_messages.size();
        drop(m_window.get(), same);
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
        dropUrls(m_window.get(), {url("\xff\xfe.bin"), url(QByteArray("n.txt\0x", 7)),
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
        dropUrls(m_window.get(), {url("\xff-gone")}); // the message shows what it cannot decode
        QVERIFY(m_messages.size() == 1 && m_messages[0].second.contains("\uFFFD-gone"));
#else
        // Names the ANSI code page cannot hold keep their characters through to the dummy.
        const QString odd = "한😀ü.bin";
        dropUrls(m_window.get(), {QUrl::fromLocalFile(makeFile(m_dir->filePath(odd), 7))});
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

    void resizeThresholds_data()
    {
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QSize>("list");
        QTest::newRow("at the thresholds") << QSize(158, 99) << QSize(533, 217);
        QTest::newRow("past the thresholds") << QSize(159, 100) << QSize(139, 3);
        QTest::newRow("wide, low") << QSize(700, 50) << QSize(680, 217);
    }

    void resizeThresholds()
    {
        QFETCH(QSize, client);
        QFETCH(QSize, list);
        m_window->resize(client);
        QCOMPARE(child("lvMakeList")->geometry(), QRect(QPoint(8, 88), list));
    }

    // During long work nothing is removed or pasted; drops wait until it has ended. Cancel stops
    // Create after the file in hand and still saves the options; an intake keeps what it took.
    void cancelAndDropDuringWork()
    {
        QStringList paths;
        for (int i = 0; i < 20; ++i)
            paths << file(QStringLiteral("k%1.txt").arg(i));
        drop(m_window.get(), paths);
        m_window->setProgressDelay(0);
        const QString late = file("late.txt");
        auto *pasted = new QMimeData;
        pasted->setUrls({QUrl::fromLocalFile(file("pasted"))});
        QGuiApplication::clipboard()->setMimeData(pasted);
        int rowsDuringWork = -1;
        m_window->setOnProgress([&](QProgressDialog &dialog) {
            QCOMPARE(dialog.windowModality(), Qt::WindowModal);
            if (rowsDuringWork < 0) {
                drop(child<QTableView>("lvMakeList")->viewport(), {late});
                child<QAction>("mnuPaste")->trigger();
            }
            child<QTableView>("lvMakeList")->selectAll();
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
        drop(m_window.get(), paths.mid(0, 3));
        QCOMPARE(column(MakeColumn::FILE_NAME).mid(21), QStringList({"ik0.txt"}));
    }

    void browse_data()
    {
        QTest::addColumn<QString>("outPath"); // <dir> is a folder that exists
        QTest::addColumn<QString>("chosen");  // empty: cancelled, the text stays
        QTest::addColumn<bool>("startsHome");
        QTest::newRow("cancel") << QString("keep") << QString() << true;
        QTest::newRow("root") << QString("<dir>") << QString("/") << false;
        QTest::newRow("missing folder") << QString("<dir>/no") << QString("/tmp/o") << true;
        QTest::newRow("a file") << QString("<dir>/f") << QString() << true;
    }

    void browse()
    {
        QFETCH(QString, outPath);
        QFETCH(QString, chosen);
        QFETCH(bool, startsHome);
        file("f");
        const QString dir = QDir::toNativeSeparators(m_dir->path());
        outPath = QDir::toNativeSeparators(outPath.replace("<dir>", dir));
        child<QLineEdit>("txtOutPath")->setText(outPath);
        QString title, start;
        m_window->setFolderChooser([&](QWidget *, const QString &t, const QString &s) {
            title = t;
            start = s;
            return chosen;
        });
        click("cmd_Ref");
        QCOMPARE(title, "ダミーファイルを作成するフォルダを選択し、[OK] を押してください");
        QCOMPARE(frmMain::folderDialog(nullptr, title, start)->labelText(QFileDialog::Accept),
                 "OK");
        QCOMPARE(start, startsHome ? QDir::toNativeSeparators(QDir::homePath()) : dir);
        QCOMPARE(child<QLineEdit>("txtOutPath")->text(),
                 chosen.isEmpty() ? outPath : QDir::toNativeSeparators(chosen));
        QVERIFY(child<QRadioButton>("optOutPath_0")->isChecked());
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
