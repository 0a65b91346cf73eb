#pragma once

#include "makelist/MakeList.h"
#include "makelist/MakeOptions.h"
#include "makelist/Progress.h"
#include "settings/ClsIni.h"
#include "settings/WindowLayout.h"

#include <QElapsedTimer>
#include <QMessageBox>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

struct BatchResult;
class QAction;
class QButtonGroup;
class QCheckBox;
class QFileDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QProgressDialog;
class QPushButton;
class QRadioButton;
class QTableView;

// The tool's one window: the options, the make list and the three commands.
class frmMain : public QWidget
{
    Q_OBJECT

public:
    // Shows a message box; replaceable so that tests need not block.
    using MessageBox =
        std::function<void(QMessageBox::Icon icon, const QString &title, const QString &text)>;
    // Asks for a folder, starting at start; returns it, or an empty text when cancelled.
    using FolderChooser =
        std::function<QString(QWidget *parent, const QString &title, const QString &start)>;

    // iniName is the settings file; by default the one chosen at start-up.
    explicit frmMain(const QString &iniName = defaultIniName(), QWidget *parent = nullptr);

    static QString defaultIniName();
    // The 参照 dialog: folders only, local ones, opened at start, accepted with "OK".
    static std::unique_ptr<QFileDialog> folderDialog(QWidget *parent, const QString &title,
                                                     const QString &start);
    static QString title();
    // Twips to logical pixels and back, TwipsPerPixel twips a pixel.
    static constexpr int TwipsPerPixel = 15;
    static int px(int twips);
    static constexpr int twips(int pixels) { return pixels * TwipsPerPixel; }

    // Long work shows a progress dialog after this many milliseconds (500 by default);
    // onProgress is told each time the dialog has been brought up to date.
    void setProgressDelay(int ms) { m_progressDelay = ms; }
    void setOnProgress(std::function<void(QProgressDialog &)> onProgress)
    {
        m_onProgress = std::move(onProgress);
    }

    // Takes files (full paths) exactly as a drop on the window.
    void openFiles(const QStringList &paths);

    void setMessageBox(MessageBox messageBox) { m_messageBox = std::move(messageBox); }
    void setFolderChooser(FolderChooser chooser) { m_folderChooser = std::move(chooser); }
    const MakeList &makeList() const { return m_list; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // An intake or a batch under way: blocks input and shows progress when long.
    class LongWork
    {
    public:
        LongWork(frmMain &owner, const QString &label);
        ~LongWork();
        LongWork(const LongWork &) = delete;
        LongWork &operator=(const LongWork &) = delete;
        Progress progress();

    private:
        bool step(qsizetype done, qsizetype total);

        frmMain &m_owner;
        QString m_label;
        QElapsedTimer m_started;
        QElapsedTimer m_sinceUpdate;
        std::unique_ptr<QProgressDialog> m_dialog;
    };

    void createOptionControls();
    void createList();
    void createHint();
    void describeControls();
    void connectCommands();
    // Keeps m_selectedRows as the list's selection, by rows.
    void followSelection();

    void Form_Load();
    void Form_Resize();
    void AddDroppedFiles(const QStringList &Paths);
    void cmd_Ref_Click();
    void cmdClear_Click();
    void mnuRemoveRows_Click();
    void mnuAddFiles_Click();
    void mnuPaste_Click();
    void updatePaste();
    void cmdMake_Click();
    void takePendingDrops();
    void takeDrop(const QStringList &Paths);

    MakeOptions options() const;
    void showOptions(const MakeOptions &options);
    // The window's size and column widths, and sizing the list's last column to the
    // width left over, never below its own.
    WindowLayout layout() const;
    void showLayout(const WindowLayout &layout);
    void fitLastColumn();
    // The status line under the list.
    void showMakeCounts(const BatchResult &result, bool stopped);
    void showRowCount(qsizetype added = -1);
    void selectFirstRow();
    void showCurrentRow();
    void tell(QMessageBox::Icon icon, const QString &text);
    // Runs an event handler; an unexpected error ends it and is shown to the user.
    void guarded(const std::function<void()> &handler);

    MakeList m_list;
    ClsIni m_ini;
    LongWork *m_work = nullptr;
    QList<QStringList> m_pendingDrops; // dropped while work was under way
    QString m_lastSource;              // the last file added, where the file dialog starts
    WindowLayout m_shownLayout;        // as started; saved on closing when changed
    int m_statusHeight = 0;            // pixels of the status line
    int m_lastColumnWidth = 0;         // the last column's own width, without the leftover
    bool m_fitting = false;
    std::vector<bool> m_selectedRows; // by 0-based row: any of its cells selected
    int m_progressDelay = 500;
    std::function<void(QProgressDialog &)> m_onProgress;
    MessageBox m_messageBox;
    FolderChooser m_folderChooser;

    QRadioButton *optOutPath[2];
    QButtonGroup *m_outPathGroup;
    QLineEdit *txtOutPath;
    QPushButton *cmd_Ref;
    QLabel *Label1;
    QLineEdit *txtInitial;
    QCheckBox *chkSize;
    QPushButton *cmdClear;
    QPushButton *cmdMake;
    QTableView *lvMakeList;
    QLabel *lblStatus;
    QAction *mnuPaste;
    QFrame *Picture1;
    QLabel *Label2;
};
