#include "fs/FileError.h"
#include "fs/PathCodec.h"
#include "testutil.h"
#include "ui/CommandLine.h"
#include "ui/MessageDialog.h"
#include "ui/frmMain.h"

#include <QtTest>
#include <QtWidgets>
#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#else
#include <qt_windows.h>
#endif

class TestWindow : public QObject
{
    Q_OBJECT

    using Message = QPair<QMessageBox::Icon, QString>;
    std::unique_ptr<QTemporaryDir> m_dir;
    QTemporaryDir m_config;
    std::unique_ptr<frmMain> m_window;
    QList<Message> m_messages;
    QStringList m_starts;

    template <class W = QWidget> W *child(const char *n) { return m_window->findChild<W *>(n); }
    QTableView *list() { return child<QTableView>("lvMakeList"); }
    QString ini() const { return QDir::toNativeSeparators(m_dir->filePath("PORONBO.INI")); }
    QString file(const QString &name) { return makeFile(m_dir->filePath(name), 4); }
    QStringList column(MakeColumn c) const { return ::column(m_window->makeList(), c); }
    void open(const QString &iniName = {})
    {
        m_window = std::make_unique<frmMain>(iniName.isEmpty() ? ini() : iniName);
        m_messages.clear();
        m_starts.clear();
        m_window->setMessageBox(
            [this](QMessageBox::Icon i, const QString &title, const QString &s) {
                m_messages.append({i, title == "ポロンボ" ? s : "titled " + title});
            });
        m_window->show();
    }
    // The one message shown since the last call.
    Message told() { return m_messages.size() == 1 ? m_messages.takeLast() : Message(); }
    void setOptions(bool same, const QString &outPath, const QString &initial = {})
    {
        child<QRadioButton>(same ? "optOutPath_0" : "optOutPath_1")->setChecked(true);
        child<QLineEdit>("txtOutPath")->setText(outPath);
        child<QLineEdit>("txtInitial")->setText(initial);
    }
    void click(const char *name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    static QList<QUrl> urls(const QStringList &paths)
    {
        QList<QUrl> urls;
        for (const QString &p : paths)
            urls << QUrl::fromLocalFile(QDir::fromNativeSeparators(p));
        return urls;
    }
    QString status() { return child<QLabel>("lblStatus")->text(); }
    // Drops URLs of no local file and urls on target (the window when none), after refusing the
    // drag of the first;
    // the drop returns before the files are taken in, then (when settle) they are.
    void dropUrls(const QList<QUrl> &urls, QWidget *target = nullptr, bool settle = true)
    {
        const auto before = std::pair(m_window->makeList().count(), m_messages.size());
        target = target ? target : m_window.get();
        QMimeData web, data;
        web.setUrls({QUrl("http://example.com/a.txt"), QUrl("file:a.txt"),
                     QUrl(QDir::separator() == '/' ? "file://tmp/a.txt" : "file:///C:a.txt")});
        data.setUrls(web.urls() + urls);
        for (QMimeData *d : {&web, &data}) {
            QDragEnterEvent enter({5, 5}, Qt::CopyAction | Qt::MoveAction, d, Qt::LeftButton, {});
            QApplication::sendEvent(target, &enter);
            QCOMPARE(enter.isAccepted(), d == &data);
        }
        QDropEvent dropped({5, 5}, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                           Qt::ShiftModifier); // Shift asks for a move
        QApplication::sendEvent(target, &dropped);
        QCOMPARE(dropped.dropAction(), Qt::CopyAction);
        QCOMPARE(std::pair(m_window->makeList().count(), m_messages.size()), before);
        if (settle)
            QCoreApplication::processEvents();
    }
    void drop(const QStringList &paths, QWidget *to = nullptr, bool settle = true)
    {
        dropUrls(urls(paths), to, settle);
    }
    // Adds by a drop on a named child, the file dialog or a paste; m_starts: where dialogs started.
    void add(const QString &way, const QStringList &paths, bool settle = true)
    {
        if (way.startsWith("drop ")) // on frmMain: no child of that name, the window
            return drop(paths, child(qPrintable(way.mid(5))), settle);
        m_window->activateWindow(); // as it is again once a dialog has closed
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        const QString names = '"' + QDir::fromNativeSeparators(paths.join("\" \"")) + '"';
        QByteArray gnome = way.startsWith("menu") ? "cut" : "copy"; // both only read
        for (const QUrl &u : urls(paths))
            gnome += "\n" + u.toEncoded().replace("file:///", "file://localhost/");
        auto *data = new QMimeData;
        if (way.contains("gnome"))
            data->setData("x-special/gnome-copied-files", gnome);
        else
            data->setUrls(urls(paths));
        QGuiApplication::clipboard()->setMimeData(data);
        QTimer::singleShot(0, m_window.get(), [this, names] {
            if (auto *dialog = m_window->findChild<QFileDialog *>()) {
                m_starts << QDir::toNativeSeparators(dialog->directory().path());
                dialog->findChild<QLineEdit *>("fileNameEdit")->setText(names);
                static_cast<QDialog *>(dialog)->accept();
            }
        });
        const bool dialog = way.contains("O") || way.contains("追加");
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
        open();
    }
    void cleanup() { m_window.reset(); }

    void addWays_data()
    {
        QTest::addColumn<QString>("way");
        for (const char *way :
             {"drop frmMain", "drop qt_scrollarea_viewport", "drop Picture1", "drop Label2",
              "Ctrl+O", "menu ファイルを追加...", "Ctrl+V", "Ctrl+V gnome", "menu 貼り付け gnome"})
            QTest::newRow(way) << QString(way);
    }
    // Every way of adding gives what a drop gives: rows, order, duplicates, no message.
    // Drops are taken in their order, the second made before the first is taken in.
    void addWays()
    {
        QFETCH(QString, way);
        list()->setFocus();
        add(way, {file("z.txt"), file("y"), file("d/x.txt")}, false);
        add(way, {file("w"), file("y"), file("W")}); // names differing in case only
        QVERIFY(!child("Picture1")->isVisible());
        QCOMPARE(list()->currentIndex().row(), 0);
        const bool dialog = way.contains("O") || way.contains("追加");
        // w and W are one file and one dummy on Windows: no collision, one row.
        const QString names = QDir::separator() == '\\' ? "z.txt y x.txt w" : "z.txt y x.txt w W";
        QCOMPARE(column(MakeColumn::FILE_NAME).join(' ').remove("__退避__"), names);
        QVERIFY(m_messages.isEmpty());
        // A folder directly under the root added last: the dialog starts at the root.
        const QFileInfo top = QDir::root().entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)[0];
        drop({QDir::toNativeSeparators(top.filePath())});
        add(way, {file("v")});
        const QString home = QDir::toNativeSeparators(QDir::homePath());
        QCOMPARE(m_starts, dialog
                               ? QStringList({home, QDir::toNativeSeparators(m_dir->filePath("d")),
                                              QDir::toNativeSeparators(QDir::rootPath())})
                               : QStringList());
        // Only a file manager's file list is pasted; anything else greys the entry.
        const QList<QPair<QString, QByteArray>> other{
            {"text/uri-list", "https://example.org/f\r\n"},
            {"x-special/gnome-copied-files", "copy\n"},
            {"text/plain", QUrl::fromLocalFile(file("f.txt")).toEncoded()},
            {"text/plain", file("f.txt").toUtf8()}};
        for (const auto &[format, content] : other) {
            auto *data = new QMimeData;
            data->setData(format, content);
            QGuiApplication::clipboard()->setMimeData(data);
            QVERIFY(!child<QAction>("mnuPaste")->isEnabled());
        }
    }

    // Keys reach the list at its current row, else the first, options one stop; Delete and Clear.
    void keyboard()
    {
        drop({file("r1"), file("r2"), file("r3"), file("r4"), file("r5")});
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        const QString all = "txtOutPath cmd_Ref txtInitial chkSize cmdClear cmdMake lvMakeList";
        for (const auto &[key, current, expected] : QList<std::tuple<Qt::Key, int, QString>>{
                 {Qt::Key_Tab, 2, all}, {Qt::Key_Backtab, -1, "lvMakeList"}}) {
            child("optOutPath_0")->setFocus();
            list()->selectionModel()->setCurrentIndex(m_window->makeList().index(current, 0),
                                                      QItemSelectionModel::Clear);
            QStringList order;
            while (!list()->hasFocus() && order.size() < 9) {
                QTest::keyClick(QApplication::focusWidget(), key);
                order << QApplication::focusWidget()->objectName();
            }
            QCOMPARE(list()->currentIndex().row(), qMax(current, 0));
            QCOMPARE(order.join(' '), expected);
        }
        const auto also = QItemSelectionModel::Select | QItemSelectionModel::Rows;
        const auto less = QItemSelectionModel::Deselect | QItemSelectionModel::Rows;
        for (const int row : {0, 1, 3})
            list()->selectionModel()->select(m_window->makeList().index(row, 0), also);
        QTest::keyClick(list(), Qt::Key_Delete);
        QCOMPARE(column(MakeColumn::FILE_NAME).join(' ').remove("__退避__"), "r3 r5");
        QCOMPARE(status(), "一覧 2 件");
        drop({file("r6"), file("r7")}); // the first row selected; then selected and deselected
        for (const auto &[row, how] : {std::pair(1, also), {3, also}, {0, less}})
            list()->selectionModel()->select(m_window->makeList().index(row, 1), how);
        QTest::keyClick(list(), Qt::Key_Delete);
        QCOMPARE(column(MakeColumn::FILE_NAME).join(' ').remove("__退避__"), "r3 r6");
        list()->actions().last()->trigger();
        QCOMPARE(m_window->makeList().count(), 0);
    }

    // Options saved trimmed, read back as they are; counts; layout kept; unreadable settings kept.
    void options()
    {
        m_window->close();
        QVERIFY(!QFileInfo::exists(ini()));
        const QString iniName = QDir::toNativeSeparators(m_dir->filePath("a/b/PORONBO.INI"));
        open(iniName);
        m_window->setOnProgress([](QProgressDialog &) { QFAIL("short work shows no progress"); });
        QTest::mouseClick(child<QCheckBox>("chkSize"), Qt::LeftButton);
        setOptions(true, "  o u t  ", " A_ ");
        const QString r = file("r.txt");
        drop({r, file("s.txt")});
        QVERIFY(!QFileInfo::exists(m_dir->filePath("a")));
        click("cmdMake");
        QCOMPARE(readFile(iniName),
                 newFileLines("[SYSTEM]\nOUTPOS=1\nOUTPATH=o u t\nINITIAL=A_\nSIZEADD=1\n"));
        makeFile(m_dir->filePath("A_m3(4).txt"), 40); // another file of a dummy's size
        drop({r, file("m3.txt"), file("m4.txt")});
        QCOMPARE(status(), "追加 2 件 ／ 一覧 4 件");
        click("cmdMake");
        QCOMPARE(status(), "作成 1 件 ／ 作成済み 2 件 ／ 作成できず 1 件");

        const QByteArray out = "C:\\" + QByteArray(40000, 'o');
        const QByteArray saved = "[SYSTEM]\nOUTPATH=" + out + "\nOUTPOS=0\nSIZEADD=2\nINITIAL=\n";
        const QByteArray text = "[SYSTEM]\nOUTPATH=" + out + "\nOUTPOS=01\nSIZEADD=2\n";
        const QByteArray layout = "[WINDOW]\nSTATUS=1\nWIDTH=99999\nHEIGHT=-1\n";
        open(makeFile(ini(), text.size() + layout.size(), text + layout));
        QVERIFY(child<QRadioButton>("optOutPath_1")->isChecked());
        QCOMPARE(child<QLineEdit>("txtOutPath")->text(), out);
        QCOMPARE(child<QCheckBox>("chkSize")->checkState(), Qt::PartiallyChecked);
        click("cmdMake");
        QCOMPARE(readFile(ini()), saved + layout);
        QHeaderView *header = list()->horizontalHeader();
        QCOMPARE(header->sectionSize(0), header->sectionSizeHint(0));
        QVERIFY(m_window->width() <= m_window->screen()->availableSize().width() &&
                m_window->height() > m_window->minimumHeight());
        m_window->resize(700, 333);
        header->resizeSection(1, 321);
        m_window->close();
        // The lines kept are the file's own, whatever a new file's line endings.
        QVERIFY(readFile(ini()).startsWith(saved + "[WINDOW]\n"));
        open();
        QCOMPARE(m_window->size(), QSize(700, 333));
        QCOMPARE(list()->horizontalHeader()->sectionSize(1), 321);

        makeFile(ini(), (16 << 20) + 1);
        open();
        makeFile(ini(), text.size(), text);
        QTRY_COMPARE(m_messages.size(), 1);
        const Message m = told();
        QVERIFY(m.first == QMessageBox::Warning && m.second.contains(ini()));
        drop({file("u.txt")});
        click("cmdMake");
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(readFile(ini()), text);
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
            QCOMPARE(told(), Message(QMessageBox::Warning, message));
        }

        // An unreadable source ends the intake; the rows before it stay.
        setOptions(true, {});
        const QString gone = QDir::toNativeSeparators(m_dir->filePath("gone.txt"));
        drop({file("e1.txt"), gone, file("e3.txt")});
        QCOMPARE(column(MakeColumn::FILE_NAME), QStringList({"__退避__e1.txt"}));
        QVERIFY(!child("Picture1")->isVisible());
        Message m = told();
        QVERIFY(m.first == QMessageBox::Critical && m.second.contains(gone));

        // A dummy the system refuses stops the batch, its row selected, its reason the system's.
        setOptions(true, {}, QString(10, 'p')); // a name too long for the file system
        drop({file(QString(250, 'n'))});
        const QSignalSpy shown(&m_window->makeList(), &MakeList::dataChanged);
        click("cmdMake");
        QCOMPARE(column(MakeColumn::STATUS), QStringList({"○", ""}));
        QCOMPARE(status(), "作成 1 件 ／ 作成済み 0 件 ／ 作成できず 1 件（中断: 残り 0 件）");
        QCOMPARE(shown.count(), 1); // the views see the marks made before the failure
        const QString tip = ::column(m_window->makeList(), MakeColumn::STATUS, Qt::ToolTipRole)[1];
        m = told();
        QVERIFY(m.first == QMessageBox::Critical && !tip.isEmpty() &&
                m.second.endsWith("\n" + tip));
        QCOMPARE(list()->selectionModel()->selectedRows().value(0).row(), 1);
        QVERIFY(!QFileInfo::exists(ini()));

        // A save that fails is reported; the dummies are made all the same.
        click("cmdClear");
        QVERIFY(QDir().mkdir(ini()));
        drop({file("e5.txt")});
        click("cmdMake");
        QCOMPARE(column(MakeColumn::STATUS), QStringList({"○"}));
        m = told();
        QVERIFY(m.first == QMessageBox::Warning && m.second.contains(ini()));
#ifdef Q_OS_LINUX
        // A settings folder not even root can make: the reason is that step's, not the save's.
        open("/sys/poronbo-test/PORONBO.INI");
        drop({file("e6.txt")});
        click("cmdMake");
        m = told();
        QVERIFY(m.first == QMessageBox::Warning && !m.second.endsWith(systemReason(ENOENT)));
#endif

        // Sources that would make a listed dummy: named in one message, at most ten.
        const QString head = "同じ名前のダミーになるファイルがあるため、"
                             "次のファイルは追加しませんでした。\n\n";
        setOptions(false, m_dir->path() + "//./"); // the folder as the system names it
        for (const int n : {3, 12}) {
            QStringList same;
            for (int i = 0; i < n; ++i)
                same << file(QString("c%1/%2.txt").arg(i).arg(n));
            drop(same);
            QCOMPARE(told(), Message(QMessageBox::Information, head + same.mid(1, 10).join('\n') +
                                                                   (n > 11 ? "\nほか 1 件" : "")));
        }
        QCOMPARE(column(MakeColumn::FILE_PATH).last(), QDir::toNativeSeparators(m_dir->path()));
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
        dropUrls({url("\xff\xfe.bin"), url(QByteArray("n.txt\0x", 7))});
        click("cmdMake");
        QCOMPARE(::access(dir + "__退避__\xff\xfe.bin", F_OK), 0);
        dropUrls({url("\xff-gone")}); // the message shows what it cannot decode
        QVERIFY(told().second.contains("\uFFFD-gone"));
#else
        // Names the ANSI code page cannot hold keep their characters through to the dummy.
        const QString odd = "한😀ü.bin";
        dropUrls({QUrl::fromLocalFile(makeFile(m_dir->filePath(odd), 7))});
        click("cmdMake");
        QCOMPARE(QFileInfo(m_dir->filePath("__退避__" + odd)).size(), 40);
#endif
        QVERIFY(m_messages.isEmpty());
    }

    // Up to "--": -h/--help, -v/--version, Qt's options (with values); other arguments are files.
    void commandLine()
    {
        QList<std::tuple<QByteArrayList, CommandAction, QStringList>> rows{
            {{"a", "", "--version", "/x/./y", "-h"}, CommandAction::Version, {"a", "/x/y"}},
            {{"-", "--", "--help", "-h", "d/../a"}, // ".." after a link leads elsewhere on Unix
             CommandAction::Run,
             {"-", "--help", "-h", QDir::separator() == '/' ? "d/../a" : "a"}},
            {{"-reverse", "-style", "-x", "--platform", "-h", "b"}, CommandAction::Run, {"b"}}};
#ifdef Q_OS_WIN
        // "Send to" may pass 8.3 names; the rows show the long ones, as a drop does.
        const QString longName = makeFile(m_config.filePath("Long file name.text"));
        wchar_t name[MAX_PATH];
        const DWORD n = GetShortPathNameW(longName.toStdWString().c_str(), name, MAX_PATH);
        const QString shortName = QString::fromWCharArray(name, int(qMin<DWORD>(n, MAX_PATH)));
        QVERIFY2(shortName.endsWith(".TEX"), qPrintable(shortName));
        rows.append({{shortName.toUtf8()}, CommandAction::Run, { longName }});
        // "Q:x" from drive Q's current folder, kept in "=Q:"; "\x" from the current drive's root.
        QVERIFY(SetEnvironmentVariableW(L"=Q:", L"Q:\\cur"));
        const auto unset = qScopeGuard([] { SetEnvironmentVariableW(L"=Q:", nullptr); });
        const QStringList fromDrives{"Q:/cur/x.txt", "Q:/cur", QDir::currentPath().left(3) + "y"};
        rows.append({{"Q:x.txt", "Q:", "\\y"}, CommandAction::Run, fromDrives});
#endif
        for (auto [arguments, action, files] : rows) {
            std::vector<const char *> argv{"poronbo"};
            for (const QByteArray &a : arguments)
                argv.push_back(a.constData());
            QCOMPARE(int(requestedAction(int(argv.size()), argv.data())), int(action));
            for (QString &f : files)
                f = QDir::toNativeSeparators(QDir::current().absoluteFilePath(f));
            QStringList given;
            std::transform(argv.begin(), argv.end(), std::back_inserter(given), decodePath);
            QCOMPARE(argumentFiles(given), files);
        }
    }

    // At its least size every control shows, the list holding the hint panel; above it the list
    // keeps its margins with the status line under it, its last column taking what is left.
    void fits()
    {
        m_window->resize(1, 1);
        for (QWidget *w : m_window->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            QVERIFY2(!w->isVisible() || m_window->rect().contains(w->geometry()),
                     qPrintable(w->objectName()));
        const QRect shown = list()->geometry();
        QVERIFY(shown.contains(child("Picture1")->geometry()));
        QCOMPARE(child("lblStatus")->y(), shown.bottom() + 1);
        const QHeaderView *header = list()->horizontalHeader();
        const int last = header->sectionSize(5), others = header->length() - last;
        for (const int width : {760, 600}) { // the last column leaves its stretch behind
            m_window->resize(width, 400);
            QCOMPARE(list()->width(), width - 20);
            QCOMPARE(header->length(), qMax(list()->viewport()->width(), others + last));
        }
    }

    // During work nothing is removed and drops wait; Cancel stops it, options are saved.
    void cancelAndDropDuringWork()
    {
        const QStringList paths{file("k0.txt"), file("k1.txt"), file("k2.txt")};
        drop(paths);
        m_window->setProgressDelay(0);
        int rowsDuringWork = -1;
        m_window->setOnProgress([&](QProgressDialog &dialog) {
            if (rowsDuringWork < 0)
                drop({file("late.txt")}, list()->viewport());
            list()->selectAll();
            child<QAction>("mnuRemoveRows")->trigger();
            rowsDuringWork = m_window->makeList().count();
            dialog.cancel();
        });
        click("cmdMake");
        QCOMPARE(rowsDuringWork, 3);
        QCOMPARE(column(MakeColumn::STATUS), QStringList({"○", "", ""}));
        QCOMPARE(status(), "作成 1 件 ／ 作成済み 0 件 ／ 作成できず 0 件（中止: 残り 2 件）");
        QVERIFY(QFileInfo::exists(ini()));
        QTRY_COMPARE(column(MakeColumn::FILE_NAME).mid(3), QStringList({"__退避__late.txt"}));
        click("cmdMake"); // again: the row made before is made already, the others are left
        QCOMPARE(status(), "作成 0 件 ／ 作成済み 1 件 ／ 作成できず 0 件（中止: 残り 3 件）");
    }

    // The message: its first paragraph beside the icon, the rest in a read-only view that
    // scrolls when long; every part copies as shown; Enter and Escape close it.
    void messageDialog_data()
    {
        QTest::addColumn<QString>("text");
        const QString path = "/home/user/" + QString("長い名前のフォルダ/").repeated(12) + "a.txt";
        QTest::newRow("short, Enter") << "作成場所を指定して下さい。";
        QTest::newRow("paths, Escape") << "次のファイル:\n\n" + QStringList(40, path).join('\n');
    }
    void messageDialog()
    {
        QFETCH(QString, text);
        const int key = text.contains("\n\n") ? Qt::Key_Escape : Qt::Key_Return;
        MessageDialog box(QMessageBox::Warning, "題", text, m_window.get());
        box.show();
        const QStringList parts = text.split("\n\n");
        QCOMPARE(box.windowTitle() + box.findChild<QLabel *>("messageText")->text(),
                 "題" + parts[0]);
        auto *details = box.findChild<QTextEdit *>("messageDetails");
        QCOMPARE(details != nullptr, parts.size() > 1);
        if (details) {
            QVERIFY(details->isReadOnly() && details->verticalScrollBar()->isVisible() &&
                    details->width() <= 500 && details->height() <= 400);
            details->selectAll();
            details->copy();
            QCOMPARE(QGuiApplication::clipboard()->text(), parts[1]);
        }
        QTimer::singleShot(0, &box, [&] { QTest::keyClick(&box, Qt::Key(key)); });
        QTimer::singleShot(3000, &box, [&] { box.done(2); }); // not closed by the key
        QCOMPARE(box.exec(), key == Qt::Key_Return ? 1 : 0);
    }

    // The folder dialog starts in the typed folder if it exists, else at home; Cancel keeps text.
    void browse()
    {
        const QString dir = QDir::toNativeSeparators(m_dir->path()), f = file("f");
        const QString home = QDir::toNativeSeparators(QDir::homePath());
        const QList<QPair<QString, QString>> rows{{dir, "/"}, {dir + "/no", "/tmp/o"}, {f, {}}};
        for (const auto &[outPath, chosen] : rows) {
            child<QLineEdit>("txtOutPath")->setText(QDir::toNativeSeparators(outPath));
            m_window->setFolderChooser([&](QWidget *, const QString &, const QString &start) {
                m_starts << start;
                return chosen;
            });
            click("cmd_Ref");
            QCOMPARE(child<QLineEdit>("txtOutPath")->text(),
                     QDir::toNativeSeparators(chosen.isEmpty() ? outPath : chosen));
        }
        QCOMPARE(m_starts, QStringList({dir, home, home}));
        QVERIFY(child<QRadioButton>("optOutPath_0")->isChecked());
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
