// A Qt generic plugin (QT_QPA_GENERIC_PLUGINS=poronbosmoke) driving poronbo: once it lists
// PORONBO_SMOKE_ROWS rows (or after 10 s), 作成; rows, messages, texts to PORONBO_SMOKE_REPORT.

#include <QtWidgets>

class Driver : public QObject
{
    const QDeadlineTimer m_patience{10000};
    const int m_wanted = qEnvironmentVariableIntValue("PORONBO_SMOKE_ROWS");
    QString m_report; // lines
    bool m_clicked = false;

    // Ticks go on while 作成 runs, to answer its messages.
    void timerEvent(QTimerEvent *) override
    {
        QWidget *window = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible()) {
                m_report += "message\t" + box->text().replace('\n', ' ') + '\n';
                box->done(0);
            }
            if (w->objectName() == "frmMain" && w->isVisible())
                window = w;
        }
        const auto *list = window ? window->findChild<QTableView *>("lvMakeList") : nullptr;
        if (m_clicked || !list ||
            (list->model()->rowCount() < m_wanted && !m_patience.hasExpired()))
            return;
        m_clicked = true;
        window->findChild<QPushButton *>("cmdMake")->click();
        const QAbstractItemModel *rows = list->model();
        for (int i = 0; i < rows->rowCount() * 3; ++i) // 3 columns
            m_report += rows->index(i / 3, i % 3).data().toString() + (i % 3 < 2 ? '\t' : '\n');
        const QDialogButtonBox cancel(QDialogButtonBox::Cancel);
        m_report += window->windowTitle() + '\t' + rows->headerData(0, Qt::Horizontal).toString() +
                    '\t' + cancel.button(QDialogButtonBox::Cancel)->text();
        QFile out(qEnvironmentVariable("PORONBO_SMOKE_REPORT"));
        if (!out.open(QIODevice::WriteOnly) || out.write(m_report.toUtf8()) < 0)
            qFatal("cannot write the report");
        QApplication::quit();
    }

public:
    Driver() { startTimer(20); }
};

class SmokePlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "smokeplugin.json")

public:
    QObject *create(const QString &, const QString &) override { return new Driver; }
};

#include "smokeplugin.moc"
