// Opens the window, drops a few real files on it, presses Create, points at the
// refused row's mark so that its reason shows, and saves a screenshot; given a size
// (WIDTHxHEIGHT) the window is resized to it first. Run by scripts/screenshot under Xvfb.
#include "ui/Language.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QHelpEvent>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const Translations language(QLocale::system().uiLanguages()); // as the program starts
    if (argc != 2 && argc != 3) {
        qCritical("usage: poronbo_screenshot OUTPUT.png [WIDTHxHEIGHT]");
        return 2;
    }
    QTemporaryDir dir;
    const QDateTime when(QDate(2026, 11, 30), QTime(14, 25, 36));
    QList<QUrl> urls;
    for (const auto &[name, size] :
         {std::pair{"報告書.txt", 512}, {"写真.jpg", 123456}, {"README", 0}, {"data.csv", 4096}}) {
        QFile f(dir.filePath(QString::fromUtf8(name)));
        if (!f.open(QIODevice::WriteOnly) || !f.resize(size) ||
            !f.setFileTime(when, QFileDevice::FileModificationTime))
            return 1;
        urls << QUrl::fromLocalFile(f.fileName());
    }
    // An existing file where one dummy would go shows the refusal mark.
    QFile taken(dir.filePath(QStringLiteral("__退避__data(4,096).csv")));
    if (!taken.open(QIODevice::WriteOnly))
        return 1;
    taken.close();

    frmMain window(dir.filePath(QStringLiteral("PORONBO.INI")));
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    window.findChild<QCheckBox *>(QStringLiteral("chkSize"))->setChecked(true);

    QMimeData data;
    data.setUrls(urls);
    QWidget *viewport = window.findChild<QTableView *>(QStringLiteral("lvMakeList"))->viewport();
    // As the platform does: the drag enters the list, then drops there.
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    QCoreApplication::processEvents(); // the files are taken in once the drop has returned
    if (argc == 3) {
        const QStringList size = QString::fromLocal8Bit(argv[2]).split(QLatin1Char('x'));
        window.resize(size.value(0).toInt(), size.value(1).toInt());
        QTest::qWait(200);
    }
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("cmdMake")), Qt::LeftButton);
    QTest::qWait(300);

    // The pointer rests on the refused row's mark: the view shows its tooltip.
    auto *list = window.findChild<QTableView *>(QStringLiteral("lvMakeList"));
    const QModelIndexList refused =
        list->model()->match(list->model()->index(0, 0), Qt::DisplayRole, QStringLiteral("×"));
    if (refused.isEmpty())
        return 1;
    const QPoint at = list->visualRect(refused[0]).center();
    QCursor::setPos(list->viewport()->mapToGlobal(at));
    QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &help);
    QTest::qWait(500);

    // The tooltip is a window of its own, so the screen is grabbed where the window is.
    const QRect frame = window.frameGeometry();
    const QPixmap shot =
        window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    return shot.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
