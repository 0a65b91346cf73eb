#include "frmMain.h"

#include "MessageDialog.h"
#include "fs/FileError.h"
#include "fs/FileStat.h"
#include "fs/PathCodec.h"
#include "fs/PathInput.h"
#include "makelist/Batch.h"
#include "makelist/Intake.h"
#include "settings/IniLocation.h"
#include "version.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <limits>

namespace
{

const char *const AppTitle = QT_TRANSLATE_NOOP("frmMain", "ポロンボ");

// The list follows the client area's size, in twips: past a threshold its width and
// height keep these insets from the client's; below it they stay as they are.
constexpr int ResizeMinClientWidth = 2380;
constexpr int ListWidthInset = 300;
constexpr int ResizeMinClientHeight = 1490;
constexpr int ListHeightInset = 1455; // the status line is taken from the list's height

// The client area at design, in twips; the window starts so unless it was resized.
constexpr int DesignClientWidth = 8295;
constexpr int DesignClientHeight = 4710;
// The least client area in twips: wide enough for 作成 and its margin, high enough for
// a list that holds the hint panel with the panel's margin, and the status line.
constexpr int MinClientWidth = 7380 + 795 + 120;
constexpr int MinClientHeight = 1800 + 915 + 120 + 135;
// The status line's least height in twips.
constexpr int StatusHeight = 300;

constexpr int LastColumn = int(MakeColumns.size()) - 1;

// The status line's texts; the numbers are shown as the system's locale shows them.
const char *const StatusMade =
    QT_TRANSLATE_NOOP("frmMain", "作成 %1 件 ／ 作成済み %2 件 ／ 作成できず %3 件");
const char *const StatusCancelled = QT_TRANSLATE_NOOP("frmMain", "（中止: 残り %1 件）");
const char *const StatusStopped = QT_TRANSLATE_NOOP("frmMain", "（中断: 残り %1 件）");
const char *const StatusAdded = QT_TRANSLATE_NOOP("frmMain", "追加 %1 件 ／ 一覧 %2 件");
const char *const StatusListed = QT_TRANSLATE_NOOP("frmMain", "一覧 %1 件");

QString countText(qsizetype n)
{
    return QLocale::system().toString(qlonglong(n));
}

QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(frmMain::px(left), frmMain::px(top), frmMain::px(width), frmMain::px(height));
}

template <class W> W *place(W *widget, const char *name, QRect geometry)
{
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}

// The local files among urls, in their order, with native separators; the others are
// passed over.
QStringList localFiles(const QList<QUrl> &urls)
{
    QStringList paths;
    paths.reserve(urls.size());
    for (const QUrl &url : urls) {
        if (const QString path = decodeFileUrl(url); !path.isEmpty())
            paths << path;
    }
    return paths;
}

QStringList localFiles(const QMimeData *data)
{
    return data && data->hasUrls() ? localFiles(data->urls()) : QStringList();
}

// The files a file manager put on the clipboard: its URL list, else GNOME's form ("copy"
// or "cut", then a URL a line). Cut files are only read, as copied ones are. Text is no
// file list.
QStringList clipboardFiles()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    QStringList paths = localFiles(data);
    const QString gnome = QStringLiteral("x-special/gnome-copied-files");
    if (paths.isEmpty() && data && data->hasFormat(gnome)) {
        const QList<QByteArray> lines = data->data(gnome).split('\n');
        QList<QUrl> urls;
        for (qsizetype i = 1; i < lines.size(); ++i)
            urls << QUrl::fromEncoded(lines[i].trimmed(), QUrl::StrictMode);
        paths = localFiles(urls);
    }
    return paths;
}

// The folder of a file's path, a root folder with its separator.
QString folderOf(const QString &path)
{
    const qsizetype cut = path.lastIndexOf(QDir::separator());
    if (cut < 0)
        return QString();
    const QString folder = path.left(cut);
    return folder.isEmpty() || folder.endsWith(QLatin1Char(':')) ? path.left(cut + 1) : folder;
}

bool hasLocalFile(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return false;
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.cbegin(), urls.cend(),
                       [](const QUrl &u) { return !decodeFileUrl(u).isEmpty(); });
}

// The height of a row of one line of text in view, as its delegate gives it.
int textRowHeight(const QAbstractItemView &view)
{
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.font = view.font();
    option.fontMetrics = view.fontMetrics();
    option.features = QStyleOptionViewItem::HasDisplay;
    option.text = QStringLiteral("作成 Xg");
    return view.style()
        ->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), &view)
        .height();
}

// Roles Qt's own interfaces do not give: the window is a window, not a bare client area,
// and the hint panel a group of its own, not a border.
QAccessibleInterface *accessibleWithRole(const QString &key, QObject *object)
{
    if (key == QLatin1String("frmMain"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    if (key == QLatin1String("QFrame") && object->objectName() == QLatin1String("Picture1") &&
        qobject_cast<frmMain *>(object->parent()))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Grouping);
    return nullptr;
}

// Shows the wait cursor while it lives.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace

frmMain::frmMain(const QString &iniName, QWidget *parent) : QWidget(parent)
{
    m_ini.IniName = iniName;
    m_messageBox = [this](QMessageBox::Icon icon, const QString &title, const QString &text) {
        MessageDialog(icon, title, text, this).exec();
    };
    m_folderChooser = [](QWidget *parent, const QString &title, const QString &start) {
        const std::unique_ptr<QFileDialog> dialog = folderDialog(parent, title, start);
        if (dialog->exec() != QDialog::Accepted || dialog->selectedUrls().isEmpty())
            return QString();
        const QUrl folder = dialog->selectedUrls().constFirst();
        return decodeFileUrl(folder);
    };

    setObjectName(QStringLiteral("frmMain"));
    Q_INIT_RESOURCE(poronbo); // from the static library: linked only when named
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/poronbo-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);
    setAcceptDrops(true);
    QFont font;
    font.setFamilies({QStringLiteral("MS UI Gothic"), QStringLiteral("IPAPGothic"),
                      QStringLiteral("Noto Sans CJK JP")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(9);
    setFont(font);

    createOptionControls();
    createList();
    createHint();
    describeControls();
    connectCommands();
    followSelection();
    setMinimumSize(px(MinClientWidth), px(MinClientHeight) + m_statusHeight);
    Form_Load();
}

void frmMain::createOptionControls()
{
    optOutPath[0] = place(new QRadioButton(tr("同じ場所に作成"), this), "optOutPath_0",
                          twipsRect(120, 60, 1695, 315));
    optOutPath[1] = place(new QRadioButton(this), "optOutPath_1", twipsRect(120, 360, 255, 435));
    m_outPathGroup = new QButtonGroup(this);
    m_outPathGroup->addButton(optOutPath[0], 0);
    m_outPathGroup->addButton(optOutPath[1], 1);
    txtOutPath = place(new QLineEdit(this), "txtOutPath", twipsRect(420, 420, 5655, 315));
    txtOutPath->setMaxLength(std::numeric_limits<int>::max()); // stored values come back whole
    cmd_Ref = place(new QPushButton(tr("参照"), this), "cmd_Ref", twipsRect(6120, 420, 615, 315));
    Label1 = place(new QLabel(tr("頭文字"), this), "Label1", twipsRect(120, 900, 555, 255));
    txtInitial = place(new QLineEdit(this), "txtInitial", twipsRect(780, 840, 2655, 315));
    txtInitial->setMaxLength(std::numeric_limits<int>::max());
    chkSize = place(new QCheckBox(tr("ファイル名にサイズを付ける"), this), "chkSize",
                    twipsRect(3540, 900, 2535, 255));
    cmdClear = place(new QPushButton(tr("リストクリア"), this), "cmdClear",
                     twipsRect(6180, 900, 1095, 315));
    cmdMake = place(new QPushButton(tr("作成"), this), "cmdMake", twipsRect(7380, 900, 795, 315));
}

// The list, its commands and the status line under it.
void frmMain::createList()
{
    // A table with fixed row heights lays out no row it does not show, so that adding
    // rows to a long list costs what they add.
    lvMakeList = place(new QTableView(this), "lvMakeList", twipsRect(120, 1320, 7995, 3255));
    lvMakeList->setShowGrid(false);
    lvMakeList->setWordWrap(false);
    lvMakeList->setTabKeyNavigation(false);
    lvMakeList->setCornerButtonEnabled(false);
    lvMakeList->verticalHeader()->hide();
    lvMakeList->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lvMakeList->verticalHeader()->setMinimumSectionSize(1); // not a header's height
    lvMakeList->verticalHeader()->setDefaultSectionSize(textRowHeight(*lvMakeList));
    lvMakeList->horizontalHeader()->setHighlightSections(false);
    lvMakeList->horizontalHeader()->setStretchLastSection(false);
    lvMakeList->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvMakeList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvMakeList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvMakeList->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    lvMakeList->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    lvMakeList->setModel(&m_list);
    lvMakeList->viewport()->setAcceptDrops(true);
    lvMakeList->viewport()->installEventFilter(this);
    lvMakeList->installEventFilter(this);
    const auto action = [this](const char *name, const QString &text) {
        auto *a = new QAction(text, lvMakeList);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    QAction *mnuAddFiles = action("mnuAddFiles", tr("ファイルを追加..."));
    mnuAddFiles->setShortcut(QKeySequence::Open);
    mnuPaste = action("mnuPaste", tr("貼り付け"));
    mnuPaste->setShortcut(QKeySequence::Paste); // a text box with focus pastes its own way
    auto *separator = new QAction(lvMakeList);
    separator->setSeparator(true);
    QAction *mnuRemoveRows = action("mnuRemoveRows", tr("選択した行を削除"));
    mnuRemoveRows->setShortcut(QKeySequence::Delete);
    mnuRemoveRows->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    lvMakeList->addActions(
        {mnuAddFiles, mnuPaste, separator, mnuRemoveRows, action("mnuClear", tr("リストクリア"))});
    lvMakeList->setContextMenuPolicy(Qt::ActionsContextMenu);

    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextFormat(Qt::PlainText);
    lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_statusHeight = qMax(px(StatusHeight), lblStatus->fontMetrics().height() + 2);
}

void frmMain::createHint()
{
    Picture1 = place(new QFrame(this), "Picture1", twipsRect(540, 1800, 2835, 915));
    Picture1->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    Picture1->setBackgroundRole(QPalette::Base);
    Picture1->setForegroundRole(QPalette::Text);
    Picture1->setAutoFillBackground(true);
    Picture1->setAcceptDrops(true);
    Picture1->installEventFilter(this);
    Label2 = place(new QLabel(tr("ファイルをドロップして下さい。"), Picture1), "Label2",
                   twipsRect(120, 120, 2415, 615));
    QFont hint;
    hint.setFamilies({QStringLiteral("ＭＳ 明朝"), QStringLiteral("MS Mincho"),
                      QStringLiteral("IPAMincho"), QStringLiteral("Noto Serif CJK JP")});
    hint.setStyleHint(QFont::Serif);
    hint.setPointSize(12);
    hint.setBold(true);
    Label2->setFont(hint);
    // Without its own role the label would paint in the panel's foreground role.
    Label2->setForegroundRole(QPalette::WindowText);
    QPalette grey = Label2->palette();
    grey.setColor(QPalette::WindowText, QColor(128, 128, 128));
    Label2->setPalette(grey);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label2->setWordWrap(true);
    Label2->setAcceptDrops(true);
    Label2->installEventFilter(this);
    Picture1->raise();
}

// Names for screen readers where no caption gives one, and the tab order; the look
// stays as it is.
void frmMain::describeControls()
{
    static const bool roles = (QAccessible::installFactory(accessibleWithRole), true);
    Q_UNUSED(roles);
    optOutPath[1]->setAccessibleName(tr("作成場所を指定する"));
    txtOutPath->setAccessibleName(tr("作成場所"));
    cmd_Ref->setAccessibleDescription(tr("作成場所のフォルダを選びます。"));
    Label1->setBuddy(txtInitial);
    cmdClear->setAccessibleDescription(tr("一覧の行をすべて削除します。"));
    cmdMake->setAccessibleDescription(tr("一覧の各行のダミーファイルを作成し、設定を保存します。"));
    lvMakeList->setAccessibleName(tr("作成するダミーファイルの一覧"));
    lblStatus->setAccessibleName(tr("結果の件数"));
    Picture1->setAccessibleName(tr("ファイルのドロップ先"));
    Picture1->setAccessibleDescription(
        tr("ファイルをドロップするか、Ctrl+O で選ぶか、Ctrl+V で貼り付けて追加します。"));

    setTabOrder(optOutPath[0], optOutPath[1]);
    setTabOrder(optOutPath[1], txtOutPath);
    setTabOrder(txtOutPath, cmd_Ref);
    setTabOrder(cmd_Ref, txtInitial);
    setTabOrder(txtInitial, chkSize);
    setTabOrder(chkSize, cmdClear);
    setTabOrder(cmdClear, cmdMake);
    setTabOrder(cmdMake, lvMakeList);
}

void frmMain::connectCommands()
{
    // Each command runs as an event handler.
    const auto command = [this](auto *sender, auto signal, void (frmMain::*handler)()) {
        connect(sender, signal, this,
                [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    };
    command(cmd_Ref, &QPushButton::clicked, &frmMain::cmd_Ref_Click);
    command(cmdClear, &QPushButton::clicked, &frmMain::cmdClear_Click);
    command(cmdMake, &QPushButton::clicked, &frmMain::cmdMake_Click);
    const auto menu = [this, &command](const char *name, void (frmMain::*handler)()) {
        command(lvMakeList->findChild<QAction *>(QLatin1String(name)), &QAction::triggered,
                handler);
    };
    menu("mnuAddFiles", &frmMain::mnuAddFiles_Click);
    menu("mnuPaste", &frmMain::mnuPaste_Click);
    menu("mnuRemoveRows", &frmMain::mnuRemoveRows_Click);
    menu("mnuClear", &frmMain::cmdClear_Click);
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &frmMain::updatePaste);
    updatePaste();
    // A click leaves the indeterminate state for good; then the box only toggles.
    connect(chkSize, &QCheckBox::clicked, this, [this] { chkSize->setTristate(false); });
    // The last column takes what the others leave.
    connect(lvMakeList->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int, int width) {
                if (m_fitting)
                    return;
                if (column == LastColumn)
                    m_lastColumnWidth = width; // the user's own
                fitLastColumn();
            });
}

// The rows selected in the list, kept from the selection model's changes.
void frmMain::followSelection()
{
    const auto mark = [this](const QItemSelection &ranges, bool selected) {
        for (const QItemSelectionRange &range : ranges) {
            if (range.isValid() && size_t(range.bottom()) < m_selectedRows.size())
                std::fill(m_selectedRows.begin() + range.top(),
                          m_selectedRows.begin() + range.bottom() + 1, selected);
        }
    };
    connect(lvMakeList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [mark](const QItemSelection &selected, const QItemSelection &deselected) {
                mark(deselected, false);
                mark(selected, true);
            });
    // A reset drops the selection without telling; rows come unselected and go with
    // their marks.
    connect(&m_list, &QAbstractItemModel::modelReset, this,
            [this] { m_selectedRows.assign(size_t(m_list.count()), false); });
    connect(&m_list, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) {
                m_selectedRows.insert(m_selectedRows.begin() + first, size_t(last - first + 1),
                                      false);
            });
    connect(&m_list, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex &, int first, int last) {
                m_selectedRows.erase(m_selectedRows.begin() + first,
                                     m_selectedRows.begin() + last + 1);
            });
}

QString frmMain::defaultIniName()
{
    return settingsIniName();
}

std::unique_ptr<QFileDialog> frmMain::folderDialog(QWidget *parent, const QString &title,
                                                   const QString &start)
{
    auto dialog = std::make_unique<QFileDialog>(parent, title);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setSupportedSchemes({QStringLiteral("file")});
    dialog->setDirectoryUrl(fileUrl(start));
    dialog->setLabelText(QFileDialog::Accept, QStringLiteral("OK"));
    return dialog;
}

QString frmMain::title()
{
    return tr(AppTitle) + QStringLiteral("  Ver %1.%2%3")
                              .arg(PORONBO_VERSION_MAJOR)
                              .arg(PORONBO_VERSION_MINOR)
                              .arg(PORONBO_VERSION_PATCH);
}

int frmMain::px(int twips)
{
    return qRound(twips / double(TwipsPerPixel));
}

void frmMain::Form_Load()
{
    setWindowTitle(title());
    showOptions(LoadOptions(m_ini));
    showLayout(LoadWindowLayout(m_ini));
    m_shownLayout = layout();
    if (!m_ini.ReadError().isEmpty()) { // said once the window is up; never saved over
        QTimer::singleShot(0, this, [this] {
            tell(QMessageBox::Warning,
                 tr("設定ファイルを読めません。既定の設定で始めます。"
                    "このファイルには保存しません。\n\n%1\n%2")
                     .arg(displayPath(QDir::toNativeSeparators(m_ini.IniName)), m_ini.ReadError()));
        });
    }
}

void frmMain::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

// Keeps the list's right and bottom margins, the status line under it; below the
// thresholds the list keeps its size.
void frmMain::Form_Resize()
{
    QRect list = lvMakeList->geometry();
    if (twips(width()) > ResizeMinClientWidth)
        list.setWidth(px(twips(width()) - ListWidthInset));
    if (twips(height()) > ResizeMinClientHeight)
        list.setHeight(px(twips(height()) - ListHeightInset) - m_statusHeight);
    lvMakeList->setGeometry(list);
    lblStatus->setGeometry(list.left(), list.bottom() + 1, list.width(), m_statusHeight);
}

WindowLayout frmMain::layout() const
{
    const QSize size = isMaximized() || isFullScreen() ? normalGeometry().size() : this->size();
    WindowLayout shown;
    shown.Width = twips(size.width());
    shown.Height = twips(size.height());
    for (int c = 0; c < LastColumn; ++c)
        shown.Columns[size_t(c)] = twips(lvMakeList->columnWidth(c));
    shown.Columns[LastColumn] = twips(m_lastColumnWidth);
    return shown;
}

// The stored size within the window's least size and the screen; each column as
// stored, or as designed, and no narrower than its header text.
void frmMain::showLayout(const WindowLayout &stored)
{
    QSize size(px(stored.Width ? stored.Width : DesignClientWidth),
               px(stored.Height ? stored.Height : DesignClientHeight));
    if (const QScreen *screen = this->screen())
        size = size.boundedTo(screen->availableSize());
    resize(size.expandedTo(minimumSize()));
    const QHeaderView *header = lvMakeList->horizontalHeader();
    for (int c = 0; c <= LastColumn; ++c) {
        const int kept = stored.Columns[size_t(c)];
        const int width =
            qMax(px(kept ? kept : MakeColumns[size_t(c)].WidthTwips), header->sectionSizeHint(c));
        if (c == LastColumn)
            m_lastColumnWidth = width;
        lvMakeList->setColumnWidth(c, width);
    }
    fitLastColumn();
}

void frmMain::fitLastColumn()
{
    int others = 0;
    for (int c = 0; c < LastColumn; ++c)
        others += lvMakeList->columnWidth(c);
    const QScopedValueRollback fitting(m_fitting, true);
    lvMakeList->setColumnWidth(LastColumn,
                               qMax(m_lastColumnWidth, lvMakeList->viewport()->width() - others));
}

// A changed size or column width is kept for the next start. Losing it costs the user
// little, so a save that fails is not reported.
void frmMain::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    const WindowLayout shown = layout();
    if (shown != m_shownLayout && m_ini.ReadError().isEmpty() &&
        makeIniFolder(m_ini.IniName).isEmpty() && SaveWindowLayout(m_ini, shown))
        m_shownLayout = shown;
}

void frmMain::dragEnterEvent(QDragEnterEvent *event)
{
    if (hasLocalFile(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
}

// The enter has looked at the files; a move only keeps the answer, without reading
// a large drop's file list again at every mouse move.
void frmMain::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->mimeData() && event->mimeData()->hasUrls()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
}

void frmMain::dropEvent(QDropEvent *event)
{
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty())
        return; // no local file
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // Taken in once the drop has returned: the drag source waits for it (on Windows in
    // its own drag loop, where a message box would take no input).
    QMetaObject::invokeMethod(
        this, [this, paths] { openFiles(paths); }, Qt::QueuedConnection);
}

// Drops, the command line, the file dialog and the clipboard all come in here.
void frmMain::openFiles(const QStringList &paths)
{
    if (!paths.isEmpty())
        takeDrop(QStringList{QString()} + paths);
}

// Paths from element 1 on. Taken in after the drops before it, once no work is under
// way, so that nothing interleaves.
void frmMain::takeDrop(const QStringList &Paths)
{
    m_pendingDrops.append(Paths);
    takePendingDrops();
}

// The list, the hint panel and its text take drops as the window does.
bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ContextMenu: // the list's, by mouse or keyboard
        updatePaste();
        return false;
    case QEvent::Resize:
        if (watched == lvMakeList->viewport())
            fitLastColumn();
        return false;
    case QEvent::FocusIn: // the list's
        if (const auto reason = static_cast<QFocusEvent *>(event)->reason();
            reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)
            showCurrentRow();
        return false;
    case QEvent::DragEnter:
        dragEnterEvent(static_cast<QDragEnterEvent *>(event));
        return true;
    case QEvent::DragMove:
        dragMoveEvent(static_cast<QDragMoveEvent *>(event));
        return true;
    case QEvent::Drop:
        dropEvent(static_cast<QDropEvent *>(event));
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void frmMain::takePendingDrops()
{
    while (!m_work && !m_pendingDrops.isEmpty()) {
        const QStringList paths = m_pendingDrops.takeFirst();
        guarded([&] { AddDroppedFiles(paths); });
    }
}

void frmMain::AddDroppedFiles(const QStringList &Paths)
{
    const int before = m_list.count();
    const auto noteLastAdded = [&] {
        if (m_list.count() > before)
            m_lastSource = m_list.item(m_list.count()).Tag;
    };
    IntakeResult result;
    try {
        LongWork work(*this, tr("ファイルを追加しています"));
        MakeOptions o = options();
        o.OutPath = typedFolderPath(o.OutPath);
        result = ::AddDroppedFiles(m_list, o, Paths, QLocale::system(), work.progress());
    } catch (...) {
        Picture1->hide(); // the checks had passed; rows may have been added
        selectFirstRow();
        noteLastAdded();
        showRowCount(m_list.count() - before);
        throw;
    }
    noteLastAdded();
    switch (result.outcome) {
    case IntakeResult::NoOutputFolder:
        tell(QMessageBox::Warning, tr("作成場所を指定して下さい。"));
        return;
    case IntakeResult::RelativeOutputFolder:
        tell(QMessageBox::Warning, tr("作成場所はフルパスで指定して下さい。"));
        return;
    case IntakeResult::PrefixTooLong:
        tell(QMessageBox::Warning, tr("頭文字は255文字以内で指定して下さい。"));
        return;
    case IntakeResult::PrefixBadCharacter:
        tell(QMessageBox::Warning, tr("頭文字にファイル名に使えない文字が含まれています。"));
        return;
    case IntakeResult::Added:
        Picture1->hide();
        selectFirstRow();
        showRowCount(result.added);
        if (result.collisions > 0) {
            QStringList lines;
            for (const QString &path : std::as_const(result.collidedPaths))
                lines << displayPath(path);
            if (const qsizetype more = result.collisions - result.collidedPaths.size())
                lines << tr("ほか %1 件").arg(more);
            tell(QMessageBox::Information, tr("同じ名前のダミーになるファイルがあるため、"
                                              "次のファイルは追加しませんでした。\n\n") +
                                               lines.join(QLatin1Char('\n')));
        }
        return;
    }
}

void frmMain::cmd_Ref_Click()
{
    // Starts at the chosen folder when it exists, else at home.
    const QString out = typedFolderPath(txtOutPath->text());
    const FileStat stat = probeFile(out);
    const QString start =
        isFullPath(out) && stat.isDir ? out : QDir::toNativeSeparators(QDir::homePath());
    const QString folder = m_folderChooser(this,
                                           tr("ダミーファイルを作成するフォルダを選択し、[OK] "
                                              "を押してください"),
                                           start);
    if (!folder.isEmpty())
        txtOutPath->setText(QDir::toNativeSeparators(folder));
}

// Qt's dialog for one or more existing files, starting in the folder of the last file
// added while it is there, else at home.
void frmMain::mnuAddFiles_Click()
{
    const QString last = folderOf(m_lastSource);
    const FileStat stat = probeFile(last);
    const QString start = !last.isEmpty() && stat.exists && !stat.isFile
                              ? last
                              : QDir::toNativeSeparators(QDir::homePath());
    QStringList paths;
    {
        QFileDialog dialog(this);
        dialog.setFileMode(QFileDialog::ExistingFiles);
        dialog.setSupportedSchemes({QStringLiteral("file")});
        dialog.setDirectoryUrl(fileUrl(start));
        if (dialog.exec() != QDialog::Accepted)
            return;
        paths = localFiles(dialog.selectedUrls());
    }
    openFiles(paths);
}

void frmMain::mnuPaste_Click()
{
    openFiles(clipboardFiles());
}

// The paste entry is greyed while the clipboard holds no file.
void frmMain::updatePaste()
{
    mnuPaste->setEnabled(!clipboardFiles().isEmpty());
}

void frmMain::cmdClear_Click()
{
    m_list.clear();
    showRowCount();
}

// The rows are read from the selection as followed, not from the selection model, whose
// copy of a scattered selection costs a third of the work. Many runs of rows go in one
// reset of the list, which drops the selection with it.
void frmMain::mnuRemoveRows_Click()
{
    QList<int> rows;
    for (size_t row = 0; row < m_selectedRows.size(); ++row) {
        if (m_selectedRows[row])
            rows << int(row) + 1;
    }
    m_list.remove(std::move(rows));
    showRowCount();
}

void frmMain::cmdMake_Click()
{
    BatchResult result;
    try {
        const WaitCursor wait;
        LongWork work(*this, tr("ダミーファイルを作成しています"));
        MakeAll(m_list, result, work.progress());
    } catch (const FileError &) {
        showMakeCounts(result, true);
        // The row the batch stopped at, with the reason as its tooltip.
        if (const int n = m_list.errorRow()) {
            const QModelIndex row = m_list.index(n - 1, 0);
            lvMakeList->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect |
                                                                   QItemSelectionModel::Rows);
            lvMakeList->scrollTo(row);
        }
        throw;
    } catch (...) {
        showMakeCounts(result, true);
        throw;
    }
    showMakeCounts(result, false);
    if (!m_ini.ReadError().isEmpty())
        return; // the file could not be read: the user was told, and it is never saved over
    // A per-user folder is made by the first save.
    QString reason = makeIniFolder(m_ini.IniName);
    if (reason.isEmpty() && !SaveOptions(m_ini, options()))
        reason = m_ini.LastError();
    if (!reason.isEmpty()) {
        tell(QMessageBox::Warning,
             tr("設定を保存できませんでした。\n\n%1\n%2")
                 .arg(displayPath(QDir::toNativeSeparators(m_ini.IniName)), reason));
    }
}

// The rows made, found made already and not made; a batch stopped early tells how many
// rows it did not reach.
void frmMain::showMakeCounts(const BatchResult &result, bool stopped)
{
    QString text =
        tr(StatusMade)
            .arg(countText(result.made), countText(result.alreadyMade), countText(result.refused));
    const qsizetype left = m_list.count() - result.made - result.alreadyMade - result.refused;
    if (stopped || result.cancelled)
        text += tr(stopped ? StatusStopped : StatusCancelled).arg(countText(left));
    lblStatus->setText(text);
}

// The rows listed, and the rows just added when added is not negative.
void frmMain::showRowCount(qsizetype added)
{
    lblStatus->setText(added < 0
                           ? tr(StatusListed).arg(countText(m_list.count()))
                           : tr(StatusAdded).arg(countText(added), countText(m_list.count())));
}

MakeOptions frmMain::options() const
{
    MakeOptions o;
    o.SameFolder = optOutPath[0]->isChecked();
    o.OutPath = txtOutPath->text();
    o.Initial = txtInitial->text();
    o.SizeCheck = toSizeCheckState(chkSize->checkState());
    return o;
}

void frmMain::showOptions(const MakeOptions &o)
{
    optOutPath[0]->setChecked(o.SameFolder);
    optOutPath[1]->setChecked(!o.SameFolder);
    txtOutPath->setText(o.OutPath);
    txtInitial->setText(o.Initial);
    chkSize->setTristate(o.SizeCheck == SizeCheckState::Greyed);
    chkSize->setCheckState(toCheckState(o.SizeCheck));
}

// Reached by the keyboard, the list shows its current row, the first when it has none.
void frmMain::showCurrentRow()
{
    if (m_list.count() == 0)
        return;
    if (!lvMakeList->currentIndex().isValid())
        lvMakeList->selectionModel()->setCurrentIndex(m_list.index(0, 0),
                                                      QItemSelectionModel::NoUpdate);
    lvMakeList->scrollTo(lvMakeList->currentIndex());
}

void frmMain::selectFirstRow()
{
    if (m_list.count() > 0)
        lvMakeList->setCurrentIndex(m_list.index(0, 0));
}

void frmMain::tell(QMessageBox::Icon icon, const QString &text)
{
    m_messageBox(icon, tr(AppTitle), text);
}

void frmMain::guarded(const std::function<void()> &handler)
{
    if (m_work)
        return; // no input is handled while work is under way
    try {
        handler();
    } catch (const FileError &e) {
        tell(QMessageBox::Critical,
             tr("処理を中断しました。\n\n%1\n%2")
                 .arg(displayPath(QDir::toNativeSeparators(e.path())), e.reason()));
    } catch (const std::exception &e) {
        tell(QMessageBox::Critical, tr("処理を中断しました。\n\n%1").arg(whatText(e)));
    }
    if (!m_pendingDrops.isEmpty())
        QTimer::singleShot(0, this, &frmMain::takePendingDrops);
}

frmMain::LongWork::LongWork(frmMain &owner, const QString &label) : m_owner(owner), m_label(label)
{
    m_owner.m_work = this;
    m_started.start();
}

frmMain::LongWork::~LongWork()
{
    m_owner.m_work = nullptr;
}

Progress frmMain::LongWork::progress()
{
    return [this](qsizetype done, qsizetype total) { return step(done, total); };
}

// Shows the progress dialog once the work has run for a while, then keeps it (and
// only it, being window-modal) answering. Input to the window meanwhile is blocked,
// and drops are queued until the work has ended.
bool frmMain::LongWork::step(qsizetype done, qsizetype total)
{
    if (!m_dialog) {
        if (m_started.elapsed() < m_owner.m_progressDelay)
            return true;
        m_dialog = std::make_unique<QProgressDialog>(m_label, tr("中止"), 0, int(total), &m_owner);
        m_dialog->setWindowTitle(frmMain::tr(AppTitle));
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setMinimumDuration(0);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        if (QApplication::overrideCursor())
            QApplication::changeOverrideCursor(Qt::BusyCursor);
        m_dialog->show();
        m_sinceUpdate.invalidate();
    }
    if (!m_sinceUpdate.isValid() || m_sinceUpdate.elapsed() >= 50 || done == total) {
        m_owner.m_list.flushMarks(); // shows the marks made so far
        m_dialog->setLabelText(QStringLiteral("%1… %2 / %3").arg(m_label).arg(done).arg(total));
        // Being window-modal, the dialog answers events in setValue.
        m_dialog->setValue(int(done));
        m_sinceUpdate.start();
        if (m_owner.m_onProgress)
            m_owner.m_onProgress(*m_dialog);
    }
    return !m_dialog->wasCanceled();
}
