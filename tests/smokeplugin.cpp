// A Qt generic plugin (QT_QPA_GENERIC_PLUGINS=poronbosmoke) that drives a started poronbo
// for tst_programs: once the window lists PORONBO_SMOKE_ROWS rows (or after 10 s) it
// clicks 作成, writes the rows and the messages shown to the file PORONBO_SMOKE_REPORT,
// and quits.

#include <QDeadlineTimer>
#include <QDialogButtonBox>
#include <QFile>
#include <QGenericPlugin>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QtWidgets/QApplication>

class SmokePlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "smokeplugin.json")

public:
    QObject *create(const QString &, const QString &) override
    {
        auto *timer = new QTimer;
        const QDeadlineTimer patience(10000);
        const int wanted = qEnvironmentVariableIntValue("PORONBO_SMOKE_ROWS");
        // Ticks go on while 作成 runs, to answer its messages.
        connect(
            timer, &QTimer::timeout, timer, [=, report = QStringList(), clicked = false]() mutable {
                QWidget *window = nullptr;
                for (QWidget *w : QApplication::topLevelWidgets()) {
                    if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible()) {
                        report << "message\t" + box->text().replace('\n', ' ');
                        box->done(0);
                    }
                    if (w->objectName() == "frmMain" && w->isVisible())
                        window = w;
                }
                const auto *list = window ? window->findChild<QTableView *>("lvMakeList") : nullptr;
                if (clicked || !list ||
                    (list->model()->rowCount() < wanted && !patience.hasExpired()))
                    return;
                clicked = true;
                window->findChild<QPushButton *>("cmdMake")->click();
                const QAbstractItemModel *rows = list->model();
                for (int r = 0; r < rows->rowCount(); ++r) {
                    QStringList cells;
                    for (int c = 0; c < 3; ++c)
                        cells << rows->index(r, c).data().toString();
                    report << cells.join('\t');
                }
                const QDialogButtonBox cancel(QDialogButtonBox::Cancel);
                report << "cancel\t" + cancel.button(QDialogButtonBox::Cancel)->text();
                QFile out(qEnvironmentVariable("PORONBO_SMOKE_REPORT"));
                if (!out.open(QIODevice::WriteOnly) || out.write(report.join('\n').toUtf8()) < 0)
                    qFatal("cannot write the report");
                QApplication::quit();
            });
        timer->start(20);
        return timer;
    }
};

#include "smokeplugin.moc"
