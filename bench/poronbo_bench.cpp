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
    double stat = 0, create = 0, createLockstep = 0, intake = 0, batch = 0, batchLockstep = 0,
           windowIntake = 0, windowBatch = 0;
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

// The core batch over the sources in folder. With lockstep, each dummy is followed by
// one plain create beside it, timed apart, so that both meet the file system in the
// same state; t.createLockstep then holds the plain creates' time.
double coreBatch(qsizetype n, const QString &folder, bool lockstep, Times &t)
{
    MakeList list;
    QStringList paths{QString()};
    for (const QString &name : QDir(folder).entryList(QDir::Files, QDir::Name))
        paths << QDir::toNativeSeparators(folder + QLatin1Char('/') + name);
    AddDroppedFiles(list, {true, QString(), QString(), 1}, paths);
    qint64 plainNs = 0;
    QElapsedTimer clock;
    const Progress step = [&](qsizetype done, qsizetype) {
        clock.start();
        createPlain(QDir(folder), done);
        plainNs += clock.nsecsElapsed();
        return true;
    };
    settle();
    BatchResult made;
    const double total = seconds([&] { made = MakeAll(list, lockstep ? step : Progress()); });
    if (made.made != n)
        fail("core batch refused rows");
    if (lockstep)
        t.createLockstep = double(plainNs) / 1e9;
    return total - double(plainNs) / 1e9;
}

double windowBatch(qsizetype n, frmMain &window)
{
    settle();
    auto *make = window.findChild<QPushButton *>(QStringLiteral("cmdMake"));
    const double s = seconds([&] {
        QTest::mouseClick(make, Qt::LeftButton);
        QCoreApplication::processEvents();
    });
    if (window.makeList().item(int(n)).Text != MarkMade)
        fail("window batch refused rows");
    return s;
}

Times runOnce(qsizetype n, bool windowFirst)
{
    Times t;
    const QDir root(QStringLiteral("%1/run%2").arg(g_workRoot).arg(++g_runs));
    // Every batch works beside sources of its own, all made before anything is timed.
    const QStringList paths = makeSources(root.filePath(QStringLiteral("core")), n);
    std::unique_ptr<QMimeData> data(
        dropData(makeSources(root.filePath(QStringLiteral("window")), n)));
    makeSources(root.filePath(QStringLiteral("lockstep")), n);
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
    t.create = seconds([&] {
        for (qsizetype i = 0; i < n; ++i)
            createPlain(plain, i);
    });

    MakeList list;
    const QStringList dropped = QStringList{QString()} + paths;
    t.intake = seconds([&] { AddDroppedFiles(list, {true, QString(), QString(), 1}, dropped); });
    if (list.count() != n)
        fail("core intake lost rows");
    list.clear();

    std::unique_ptr<frmMain> window(openWindow(root.filePath(QStringLiteral("PORONBO.INI"))));
    t.windowIntake = seconds([&] { dropOn(window.get(), *data); });
    if (window->makeList().count() != n)
        fail("window intake lost rows");

    // The core and window batches take turns going first, so that neither always meets
    // the other's traces.
    if (windowFirst)
        t.windowBatch = windowBatch(n, *window);
    t.batch = coreBatch(n, root.filePath(QStringLiteral("core")), false, t);
    if (!windowFirst)
        t.windowBatch = windowBatch(n, *window);
    t.batchLockstep = coreBatch(n, root.filePath(QStringLiteral("lockstep")), true, t);
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
};

Figures measure(qsizetype n)
{
    Figures f;
    for (int i = 0; i < 3; ++i)
        f.runs << runOnce(n, i % 2 == 1);
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
    line("create_lockstep", big(&Times::createLockstep), "s");
    line("core_intake", big(&Times::intake), "s");
    line("core_batch", big(&Times::batch), "s");
    line("core_batch_lockstep", big(&Times::batchLockstep), "s");
    line("window_intake", big(&Times::windowIntake), "s");
    line("window_batch", big(&Times::windowBatch), "s");
    line("stat_loop_small", small(&Times::stat), "s");
    line("core_intake_small", small(&Times::intake), "s");
    line("core_batch_small", small(&Times::batch), "s");
    line("intake_vs_stat", big.ratio(&Times::intake, &Times::stat), "ratio");
    line("batch_vs_create", big.ratio(&Times::batchLockstep, &Times::createLockstep), "ratio");
    line("window_intake_vs_core", big.ratio(&Times::windowIntake, &Times::intake), "ratio");
    line("window_batch_vs_core", big.ratio(&Times::windowBatch, &Times::batch), "ratio");
    line("bytes_per_row", perRow, "bytes");
    line("scaling_100k_vs_10k_intake", big(&Times::intake) / (perFile * small(&Times::intake)),
         "ratio");
    line("scaling_100k_vs_10k_stat", big(&Times::stat) / (perFile * small(&Times::stat)), "ratio");
    line("scaling_100k_vs_10k_batch", big(&Times::batch) / (perFile * small(&Times::batch)),
         "ratio");
    return 0;
}
