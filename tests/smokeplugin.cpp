// A Qt generic plugin (QT_QPA_GENERIC_PLUGINS=poronbosmoke) that drives a started poronbo
// for tst_programs: once the window lists PORONBO_SMOKE_ROWS rows (or after 10 s) it
// clicks 作成, writes the rows and the messages shown to the file PORONBO_SMOKE_REPORT,
// and quits.

#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGenericPlugin>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QtWidgets/QApplication>

class SmokeDriver : public QObject
{
public:
    SmokeDriver()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
        m_timer.start(20);
        m_started.start();
    }

private:
    void tick()
    {
        QWidget *window = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible()) {
                m_report << "message\t" + box->text().replace('\n', ' ');
                box->done(0);
            }
            if (w->objectName() == "frmMain" && w->isVisible())
                window = w;
        }
        const auto *list = window ? window->findChild<QTableView *>("lvMakeList") : nullptr;
        if (m_clicked || !list ||
            (list->model()->rowCount() < qEnvironmentVariableIntValue("PORONBO_SMOKE_ROWS") &&
             m_started.elapsed() < 10000))
            return;
        m_clicked = true;
        window->findChild<QPushButton *>("cmdMake")->click();
        const QAbstractItemModel *rows = list->model();
        for (int r = 0; r < rows->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < 3; ++c)
                cells << rows->index(r, c).data().toString();
            m_report << cells.join('\t');
        }
        m_report << "cancel\t" + QDialogButtonBox(QDialogButtonBox::Cancel)
                                     .button(QDialogButtonBox::Cancel)
                                     ->text();
        QFile out(qEnvironmentVariable("PORONBO_SMOKE_REPORT"));
        if (!out.open(QIODevice::WriteOnly) || out.write(m_report.join('\n').toUtf8()) < 0)
            qFatal("cannot write the report");
        QApplication::quit();
    }

    QTimer m_timer;
    QElapsedTimer m_started;
    QStringList m_report;
    bool m_clicked = false;
};

class SmokePlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "smokeplugin.json")

public:
    QObject *create(const QString &, const QString &) override { return new SmokeDriver; }
};

#include "smokeplugin.moc"
