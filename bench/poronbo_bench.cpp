// Measures the intake and the batch against the file system's own cost, through the
// core and through the window, and the memory a listed row takes.
//
//   poronbo_bench [--files N]      (default 100000)
//
// Each time is the median of 3 runs on fresh folders. Prints "name value unit"
// lines, then the ratios.
#include "makelist/Batch.h"
#include "makelist/Intake.h"
#include "makelist/MakeList.h"
#include "ui/frmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

struct Times {
    double stat = 0, create = 0, createLockstep = 0, intake = 0, batch = 0, windowIntake = 0,
           windowBatch = 0, windowCreateLockstep = 0;
};

template <class F> double seconds(F &&f)
{
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e9;
}

void fail(const char *what)
{
    std::fprintf(stderr, "poronbo_bench: %s\n", what);
    std::exit(1);
}

// N source files in a fresh folder; returns their native paths.
QStringList makeSources(const QString &folder, qsizetype n)
{
    QDir().mkpath(folder);
    QStringList paths;
    paths.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        const QString path = QStringLiteral("%1/file%2.dat").arg(folder).arg(i, 6, 10, QChar('0'));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly) || f.write("source data\n") != 12)
            fail("cannot create a source file");
        paths << QDir::toNativeSeparators(path);
    }
    return paths;
}

long procStatusKb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

// Options as the user would set them: same folder, default prefix, size in the name.
frmMain *openWindow(const QString &iniName)
{
    auto *window = new frmMain(iniName);
    window->setMessageBox([](QMessageBox::Icon, const QString &, const QString &text) {
        fail(qPrintable(QStringLiteral("message: %1").arg(text)));
    });
    window->findChild<QCheckBox *>(QStringLiteral("chkSize"))->setChecked(true);
    window->show();
    QCoreApplication::processEvents();
    return window;
}

void dropOn(QWidget *window, const QMimeData &data)
{
    QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(window, &enter);
    QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(window, &drop);
    QCoreApplication::processEvents(); // let the list lay itself out and paint
}

QMimeData *dropData(const QStringList &paths)
{
    auto *data = new QMimeData;
    QList<QUrl> urls;
    urls.reserve(paths.size());
    for (const QString &p : paths)
        urls << QUrl::fromLocalFile(QDir::fromNativeSeparators(p));
    data->setUrls(urls);
    return data;
}

// Everything the benchmark writes stays until it ends: deleting many files makes the
// file system's next creates slower, which would charge one figure for another's work.
QString g_workRoot;
int g_runs = 0;

// One plain create-new of a 40-byte file: the file system's own cost of a dummy.
void createPlain(const QDir &folder, qsizetype i)
{
    static const QByteArray record(40, 'x');
    const QByteArray name =
        QFile::encodeName(folder.filePath(QStringLiteral("__plain__file%1(12).dat").arg(i)));
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0 || ::write(fd, record.constData(), 40) != 40 || ::close(fd) != 0)
        fail("create failed");
}

// Lets the file system write out what earlier steps left, so that no timed step pays
// for another's writing.
void settle()
{
    ::sync();
}

// Makes plain creates beside a batch's dummies as the batch goes, timed apart: both
// meet the file system in the same state, which on ext4 depends on what was deleted
// in the last minutes.
class Lockstep
{
public:
    explicit Lockstep(const QString &folder) : m_folder(folder) {}

    // Brings the plain creates up to done files.
    void catchUp(qsizetype done)
    {
        QElapsedTimer clock;
        clock.start();
        for (; m_made < done; ++m_made)
            createPlain(m_folder, m_made);
        m_plainNs += clock.nsecsElapsed();
    }
    double plainSeconds() const { return double(m_plainNs) / 1e9; }

private:
    QDir m_folder;
    qsizetype m_made = 0;
    qint64 m_plainNs = 0;
};

// The core batch over the sources in folder, in lockstep row by row.
void coreBatch(qsizetype n, const QString &folder, Times &t)
{
    MakeList list;
    QStringList paths{QString()};
    for (const QString &name : QDir(folder).entryList(QDir::Files, QDir::Name))
        paths << QDir::toNativeSeparators(folder + QLatin1Char('/') + name);
    AddDroppedFiles(list, {true, QString(), QString(), SizeCheckState::On}, paths);
    Lockstep plain(folder);
    settle();
    BatchResult made;
    const double total = seconds([&] {
        made = MakeAll(list, [&](qsizetype done, qsizetype) {
            plain.catchUp(done);
            return true;
        });
    });
    if (made.made != n)
        fail("core batch refused rows");
    t.createLockstep = plain.plainSeconds();
    t.batch = total - t.createLockstep;
}

// A click on Create, in lockstep each time the progress dialog is brought up to date
// (every 50 ms); for that the dialog shows from the start instead of after 0.5 s.
void windowBatch(qsizetype n, const QString &folder, frmMain &window, Times &t)
{
    Lockstep plain(folder);
    window.setProgressDelay(0);
    window.setOnProgress([&](QProgressDialog &dialog) { plain.catchUp(dialog.value()); });
    auto *make = window.findChild<QPushButton *>(QStringLiteral("cmdMake"));
    settle();
    const double total = seconds([&] {
        QTest::mouseClick(make, Qt::LeftButton);
        QCoreApplication::processEvents();
    });
    if (window.makeList().item(int(n)).Text != MarkMade)
        fail("window batch refused rows");
    t.windowCreateLockstep = plain.plainSeconds();
    t.windowBatch = total - t.windowCreateLockstep;
}

Times runOnce(qsizetype n, bool windowFirst)
{
    Times t;
    const QDir root(QStringLiteral("%1/run%2").arg(g_workRoot).arg(++g_runs));
    // Each batch works beside sources of its own, all made before anything is timed.
    const QString core = root.filePath(QStringLiteral("core"));
    const QString windowSources = root.filePath(QStringLiteral("window"));
    const QStringList paths = makeSources(core, n);
    std::unique_ptr<QMimeData> data(dropData(makeSources(windowSources, n)));
    settle();

    t.stat = seconds([&] {
        struct stat st;
        for (const QString &p : paths) {
            if (::stat(QFile::encodeName(p).constData(), &st) != 0)
                fail("stat failed");
        }
    });
    const QDir plain(root.filePath(QStringLiteral("create")));
    QDir().mkpath(plain.path());
    settle();
    t.create = seconds([&] {
        for (qsizetype i = 0; i < n; ++i)
            createPlain(plain, i);
    });

    MakeList list;
    const QStringList dropped = QStringList{QString()} + paths;
    t.intake = seconds([&] {
        AddDroppedFiles(list, {true, QString(), QString(), SizeCheckState::On}, dropped);
    });
    if (list.count() != n)
        fail("core intake lost rows");
    list.clear();

    std::unique_ptr<frmMain> window(openWindow(root.filePath(QStringLiteral("PORONBO.INI"))));
    t.windowIntake = seconds([&] { dropOn(window.get(), *data); });
    if (window->makeList().count() != n)
        fail("window intake lost rows");

    // The two batches take turns going first.
    if (windowFirst)
        windowBatch(n, windowSources, *window, t);
    coreBatch(n, core, t);
    if (!windowFirst)
        windowBatch(n, windowSources, *window, t);
    return t;
}

double medianOf(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Each figure, and each ratio of two figures of one run, as the median of 3 runs.
struct Figures {
    QList<Times> runs;

    double operator()(double Times::*field) const
    {
        QList<double> v;
        for (const Times &t : runs)
            v << t.*field;
        return medianOf(v);
    }
    double ratio(double Times::*a, double Times::*b) const
    {
        QList<double> v;
        for (const Times &t : runs)
            v << t.*a / t.*b;
        return medianOf(v);
    }
    // Each batch against the plain creates made alongside it.
    double coreBatchVsPlain() const { return ratio(&Times::batch, &Times::createLockstep); }
    double windowBatchVsCore() const
    {
        QList<double> v;
        for (const Times &t : runs)
            v << (t.windowBatch / t.windowCreateLockstep) / (t.batch / t.createLockstep);
        return medianOf(v);
    }
};

Figures measure(qsizetype n)
{
    Figures f;
    for (int i = 0; i < 3; ++i) {
        const Times t = runOnce(n, i % 2 == 1);
        std::fprintf(stderr,
                     "run %d of %lld files: stat %.3f create %.3f intake %.3f batch %.3f "
                     "(plain %.3f) window intake %.3f batch %.3f (plain %.3f) s\n",
                     i + 1, qlonglong(n), t.stat, t.create, t.intake, t.batch, t.createLockstep,
                     t.windowIntake, t.windowBatch, t.windowCreateLockstep);
        f.runs << t;
    }
    return f;
}

// Resident memory each listed row takes in the window, at its peak.
double bytesPerRow(qsizetype n)
{
    const QDir root(QStringLiteral("%1/memory").arg(g_workRoot));
    const QStringList paths = makeSources(root.filePath(QStringLiteral("src")), n);
    std::unique_ptr<QMimeData> data(dropData(paths));
    std::unique_ptr<frmMain> window(openWindow(root.filePath(QStringLiteral("PORONBO.INI"))));
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5"); // restart the peak from here
    clear.close();
    const long before = procStatusKb("VmRSS:");
    dropOn(window.get(), *data);
    const long peak = std::max(procStatusKb("VmHWM:"), procStatusKb("VmRSS:"));
    return double(peak - before) * 1024.0 / double(n);
}

void line(const char *name, double value, const char *unit)
{
    std::printf("%s %.4g %s\n", name, value, unit);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qsizetype n = 100000;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        bool ok = false;
        if (args[i] == QLatin1String("--files") && i + 1 < args.size())
            n = args[++i].toLongLong(&ok);
        if (!ok || n < 10) {
            std::fprintf(stderr, "usage: poronbo_bench [--files N]  (N >= 10)\n");
            return 2;
        }
    }

    QTemporaryDir work;
    if (!work.isValid())
        fail("no temporary folder");
    g_workRoot = work.path();
    const double perRow = bytesPerRow(n);
    const Figures big = measure(n);
    const Figures small = measure(n / 10);
    const double perFile = 10.0; // N against N/10 files
    line("files", double(n), "files");
    line("stat_loop", big(&Times::stat), "s");
    line("create_loop", big(&Times::create), "s");
    line("core_intake", big(&Times::intake), "s");
    line("core_batch", big(&Times::batch), "s");
    line("core_batch_plain_creates", big(&Times::createLockstep), "s");
    line("window_intake", big(&Times::windowIntake), "s");
    line("window_batch", big(&Times::windowBatch), "s");
    line("window_batch_plain_creates", big(&Times::windowCreateLockstep), "s");
    line("stat_loop_small", small(&Times::stat), "s");
    line("core_intake_small", small(&Times::intake), "s");
    line("core_batch_small", small(&Times::batch), "s");
    line("intake_vs_stat", big.ratio(&Times::intake, &Times::stat), "ratio");
    line("batch_vs_create", big.coreBatchVsPlain(), "ratio");
    line("window_intake_vs_core", big.ratio(&Times::windowIntake, &Times::intake), "ratio");
    line("window_batch_vs_core", big.windowBatchVsCore(), "ratio");
    line("bytes_per_row", perRow, "bytes");
    line("scaling_100k_vs_10k_intake", big(&Times::intake) / (perFile * small(&Times::intake)),
         "ratio");
    line("scaling_100k_vs_10k_stat", big(&Times::stat) / (perFile * small(&Times::stat)), "ratio");
    // Per file against the plain creates alongside, so that the file system's drift
    // between the two sizes does not count.
    line("scaling_100k_vs_10k_batch", big.coreBatchVsPlain() / small.coreBatchVsPlain(), "ratio");
    return 0;
}
