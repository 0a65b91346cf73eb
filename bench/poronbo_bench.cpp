// Measures the intake and the batch against the file system's own cost, through the
// core and through the window, and what a large list costs.
//
//   poronbo_bench [--files N] [--rows M | --million]
//
// N source files (default 100000) for the intake and batch figures, each the median
// of 3 runs on fresh folders. With --rows M (--million: 1,000,000) also the costs of a
// list of M rows, made of M/100 files seen through 100 folder links. Sources have
// sizes, times, extensions and folders spread as in real drops. Every time is given
// as wall time and as CPU time (user + system) of the process. Prints "name value
// unit" lines, then the ratios, each beside its target where it has one.
#include "makelist/Batch.h"
#include "makelist/Intake.h"
#include "makelist/MakeList.h"
#include "ui/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace
{

// Everything the benchmark writes stays until it ends: deleting many files makes the
// file system's next creates slower, which would charge one figure for another's work.
QString g_workRoot;
int g_runs = 0;

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "poronbo_bench: %s\n", what);
    if (!g_workRoot.isEmpty())
        QDir(g_workRoot).removeRecursively(); // no litter, links included
    std::exit(1);
}

// Wall time and CPU time (user + system, all threads) in seconds.
struct Cost {
    double wall = 0;
    double cpu = 0;

    Cost &operator+=(const Cost &o)
    {
        wall += o.wall;
        cpu += o.cpu;
        return *this;
    }
    Cost operator-(const Cost &o) const { return {wall - o.wall, cpu - o.cpu}; }
};

class Meter
{
public:
    Meter() : m_start(now()) {}
    Cost elapsed() const { return now() - m_start; }

private:
    static Cost now()
    {
        timespec wall;
        ::clock_gettime(CLOCK_MONOTONIC, &wall);
        rusage usage;
        ::getrusage(RUSAGE_SELF, &usage);
        const auto secs = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
        return {double(wall.tv_sec) + wall.tv_nsec / 1e9,
                secs(usage.ru_utime) + secs(usage.ru_stime)};
    }

    Cost m_start;
};

template <class F> Cost costOf(F &&f)
{
    const Meter meter;
    f();
    return meter.elapsed();
}

// Source files as a drop brings them, with sizes from 0 to 10 GB (sparse beyond a
// block), modified times over 26 years, a dozen extensions and names, and runs of
// files from several folders.
struct Sources {
    QStringList dropped;             // native paths from element 1 on, as the intake takes them
    std::vector<std::string> paths;  // the same paths as bytes, for the baselines
    std::vector<std::string> beside; // a plain file's path beside each source
    std::vector<std::string> names;  // each source's file name
};

const char *const Folders[] = {"Documents",
                               "Documents/報告書",
                               "Pictures/2019 旅行",
                               "Music/Various Artists/Disc 1",
                               "src/poronbo/bench",
                               "Downloads",
                               "Archive/old/backup-2015",
                               "Videos"};
const char *const Stems[] = {"IMG_", "報告書_", "track ",  "report-final-v",
                             "scan", "DSC",     "議事録 ", "backup_"};
const char *const Extensions[] = {".jpg", ".JPG", ".png", ".pdf", ".docx",   ".xlsx", ".txt",
                                  ".mp3", ".mp4", ".zip", ".cpp", ".tar.gz", ""};

// Writes one source of size bytes modified at mtime.
void writeSource(const std::string &path, qint64 size, const timespec &mtime)
{
    static const std::string block(4096, 'x');
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0)
        fail("cannot create a source file");
    const bool written = size <= qint64(block.size())
                             ? ::write(fd, block.data(), size_t(size)) == ssize_t(size)
                             : ::ftruncate(fd, off_t(size)) == 0;
    const timespec times[2] = {mtime, mtime};
    const bool timed = ::futimens(fd, times) == 0;
    if (::close(fd) != 0 || !written || !timed)
        fail("cannot write a source file");
}

// n sources under root; each set number gives its own sizes, times and names.
Sources makeSources(const QString &root, qsizetype n, unsigned set)
{
    std::vector<std::string> folders;
    for (const char *f : Folders) {
        const QString folder = root + QLatin1Char('/') + QString::fromUtf8(f);
        if (!QDir().mkpath(folder))
            fail("cannot make a source folder");
        folders.push_back(QFile::encodeName(folder).toStdString());
    }
    std::mt19937_64 rng(set);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const time_t from = 946684800; // 2000-01-01
    const time_t to = 1767225600;  // 2026-01-01
    Sources s;
    s.dropped.reserve(n + 1);
    s.dropped << QString();
    s.paths.reserve(size_t(n));
    s.beside.reserve(size_t(n));
    s.names.reserve(size_t(n));
    size_t folder = 0;
    qsizetype runLeft = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (runLeft-- <= 0) {
            folder = rng() % std::size(Folders);
            runLeft = qsizetype(rng() % 64);
        }
        std::string name = Stems[rng() % std::size(Stems)];
        name += std::to_string(i);
        name += Extensions[rng() % std::size(Extensions)];
        const qint64 size =
            rng() % 50 == 0 ? 0 : qint64(std::pow(10.0, unit(rng) * 10.0)); // to 10 GB
        timespec mtime{from + time_t(rng() % quint64(to - from)), long(rng() % 1000000000)};
        if (rng() % 100 == 0) { // some at local midnight, shown as a date alone
            tm fields;
            localtime_r(&mtime.tv_sec, &fields);
            fields.tm_hour = fields.tm_min = fields.tm_sec = 0;
            fields.tm_isdst = -1;
            mtime = {std::mktime(&fields), 0};
        }
        std::string path = folders[folder] + '/' + name;
        writeSource(path, size, mtime);
        s.dropped << QDir::toNativeSeparators(QFile::decodeName(path.c_str()));
        s.beside.push_back(folders[folder] + "/__plain__" + name);
        s.paths.push_back(std::move(path));
        s.names.push_back(std::move(name));
    }
    return s;
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

// Resident memory now, after freed memory has gone back to the system, with the
// peak restarted from here.
long residentBaseKb()
{
#if defined(__GLIBC__)
    ::malloc_trim(0);
#endif
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    clear.close();
    return procStatusKb("VmRSS:");
}

long residentPeakKb()
{
    return std::max(procStatusKb("VmHWM:"), procStatusKb("VmRSS:"));
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

// The drop of dropped's paths from element 1 on.
QMimeData *dropData(const QStringList &dropped)
{
    auto *data = new QMimeData;
    QList<QUrl> urls;
    urls.reserve(dropped.size());
    for (qsizetype i = 1; i < dropped.size(); ++i)
        urls << QUrl::fromLocalFile(QDir::fromNativeSeparators(dropped.at(i)));
    data->setUrls(urls);
    return data;
}

// Lets the file system write out what earlier steps left, so that no timed step pays
// for another's writing.
void settle()
{
    ::sync();
}

void statPlain(const std::string &path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        fail("stat failed");
}

// One plain create-new of a 40-byte file: the file system's own cost of a dummy.
void createPlain(const std::string &path)
{
    static const char record[40] = {};
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0 || ::write(fd, record, 40) != 40 || ::close(fd) != 0)
        fail("create failed");
}

// Runs a plain operation over the items of a piece of work as the work goes, timed
// apart, so that both meet the file system and the machine in the same state. The
// plain loop runs ahead of the work and behind it by turns, so that neither always
// finds the other's items warm in the caches.
class Lockstep
{
public:
    Lockstep(const std::vector<std::string> &items, void (*op)(const std::string &),
             qsizetype chunk)
        : m_items(items), m_op(op), m_chunk(chunk)
    {
    }

    // Before the work starts: the first chunk, ahead.
    void start() { catchUp(m_chunk); }

    // The work has done items, reported after each one: from every second chunk's
    // start, the plain loop does the chunk behind and the one ahead.
    void pace(qsizetype done)
    {
        if (done >= total())
            catchUp(total());
        else if (done % (2 * m_chunk) == 0)
            catchUp(done + m_chunk);
    }

    // The work has done items, reported now and then (the window's progress updates):
    // behind it, then as far ahead as the last step, by turns.
    void paceNowAndThen(qsizetype done)
    {
        if (done >= total())
            catchUp(total());
        else if (m_turn++ % 2 == 0)
            catchUp(done);
        else
            catchUp(done + (done - m_lastDone));
        m_lastDone = done;
    }

    // The plain loop's time; fails if it has not kept up to the work's end.
    Cost cost() const
    {
        if (m_done != total())
            fail("the plain loop did not keep pace");
        return m_cost;
    }

private:
    qsizetype total() const { return qsizetype(m_items.size()); }
    void catchUp(qsizetype end)
    {
        end = std::min(end, total());
        if (end <= m_done)
            return;
        const Meter meter;
        for (; m_done < end; ++m_done)
            m_op(m_items[size_t(m_done)]);
        m_cost += meter.elapsed();
    }

    const std::vector<std::string> &m_items;
    void (*m_op)(const std::string &);
    qsizetype m_chunk;
    qsizetype m_done = 0;
    qsizetype m_lastDone = 0;
    int m_turn = 0;
    Cost m_cost;
};

qsizetype chunkFor(qsizetype n)
{
    return std::clamp<qsizetype>(n / 20, 1, 1000);
}

const MakeOptions BenchOptions{true, QString(), QString(), SizeCheckState::On};

// The core intake of s into list, in lockstep with a stat loop over the same paths.
void coreIntake(MakeList &list, const Sources &s, Cost &intake, Cost &stat)
{
    Lockstep plain(s.paths, statPlain, chunkFor(qsizetype(s.paths.size())));
    plain.start();
    const Cost total = costOf([&] {
        AddDroppedFiles(list, BenchOptions, s.dropped, QLocale::system(),
                        [&](qsizetype done, qsizetype) {
                            plain.pace(done);
                            return true;
                        });
    });
    if (list.count() != qsizetype(s.paths.size()))
        fail("core intake lost rows");
    stat = plain.cost();
    intake = total - stat;
}

struct Times {
    Cost stat, create, createLockstep, intake, batch, windowStat, windowIntake, windowBatch,
        windowCreateLockstep;
};

// A drop on the window, in lockstep with a stat loop each time the progress dialog is
// brought up to date (every 50 ms); for that the dialog shows from the start.
void windowIntake(const Sources &s, const QMimeData &data, frmMain &window, Times &t)
{
    Lockstep plain(s.paths, statPlain, 1);
    window.setProgressDelay(0);
    window.setOnProgress([&](QProgressDialog &dialog) { plain.paceNowAndThen(dialog.value()); });
    const Cost total = costOf([&] { dropOn(&window, data); });
    window.setOnProgress({});
    if (window.makeList().count() != qsizetype(s.paths.size()))
        fail("window intake lost rows");
    t.windowStat = plain.cost();
    t.windowIntake = total - t.windowStat;
}

// The core batch over list, in lockstep with plain creates beside its dummies.
void coreBatch(MakeList &list, const Sources &s, Times &t)
{
    const qsizetype n = qsizetype(s.beside.size());
    Lockstep plain(s.beside, createPlain, chunkFor(n));
    settle();
    plain.start();
    BatchResult made;
    const Cost total = costOf([&] {
        made = MakeAll(list, [&](qsizetype done, qsizetype) {
            plain.pace(done);
            return true;
        });
    });
    if (made.made != n)
        fail("core batch refused rows");
    t.createLockstep = plain.cost();
    t.batch = total - t.createLockstep;
}

// A click on Create, in lockstep with plain creates each time the progress dialog is
// brought up to date.
void windowBatch(const Sources &s, frmMain &window, Times &t)
{
    Lockstep plain(s.beside, createPlain, 1);
    window.setProgressDelay(0);
    window.setOnProgress([&](QProgressDialog &dialog) { plain.paceNowAndThen(dialog.value()); });
    auto *make = window.findChild<QPushButton *>(QStringLiteral("cmdMake"));
    settle();
    const Cost total = costOf([&] {
        QTest::mouseClick(make, Qt::LeftButton);
        QCoreApplication::processEvents();
    });
    window.setOnProgress({});
    const MakeList &list = window.makeList();
    if (list.item(list.count()).Text != MarkMade)
        fail("window batch refused rows");
    t.windowCreateLockstep = plain.cost();
    t.windowBatch = total - t.windowCreateLockstep;
}

Times runOnce(qsizetype n, bool windowFirst)
{
    Times t;
    const QDir root(QStringLiteral("%1/run%2").arg(g_workRoot).arg(++g_runs));
    // Each batch works beside sources of its own, all made before anything is timed.
    const Sources core = makeSources(root.filePath(QStringLiteral("core")), n, 2 * g_runs);
    const Sources window = makeSources(root.filePath(QStringLiteral("window")), n, 2 * g_runs + 1);
    std::unique_ptr<QMimeData> data(dropData(window.dropped));

    const QString plainFolder = root.filePath(QStringLiteral("create"));
    QDir().mkpath(plainFolder);
    std::vector<std::string> plainPaths;
    plainPaths.reserve(size_t(n));
    const std::string plainRoot = QFile::encodeName(plainFolder).toStdString() + "/__plain__";
    for (const std::string &name : core.names)
        plainPaths.push_back(plainRoot + name);
    settle();
    t.create = costOf([&] {
        for (const std::string &path : plainPaths)
            createPlain(path);
    });
    settle();

    MakeList list;
    coreIntake(list, core, t.intake, t.stat);
    std::unique_ptr<frmMain> form(openWindow(root.filePath(QStringLiteral("PORONBO.INI"))));
    windowIntake(window, *data, *form, t);

    // The two batches take turns going first.
    if (windowFirst)
        windowBatch(window, *form, t);
    coreBatch(list, core, t);
    if (!windowFirst)
        windowBatch(window, *form, t);
    return t;
}

double medianOf(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Each figure, and each ratio of figures of one run, as the median of 3 runs, in wall
// time (Cost::wall) or CPU time (Cost::cpu).
struct Figures {
    QList<Times> runs;

    Cost operator()(Cost Times::*field) const
    {
        QList<double> wall, cpu;
        for (const Times &t : runs) {
            wall << (t.*field).wall;
            cpu << (t.*field).cpu;
        }
        return {medianOf(wall), medianOf(cpu)};
    }
    template <class F> Cost ratio(F &&f) const
    {
        QList<double> wall, cpu;
        for (const Times &t : runs) {
            wall << f(t, &Cost::wall);
            cpu << f(t, &Cost::cpu);
        }
        return {medianOf(wall), medianOf(cpu)};
    }
    Cost intakeVsStat() const
    {
        return ratio([](const Times &t, double Cost::*c) { return t.intake.*c / t.stat.*c; });
    }
    // Each batch against the plain creates made alongside it.
    Cost batchVsPlain() const
    {
        return ratio(
            [](const Times &t, double Cost::*c) { return t.batch.*c / t.createLockstep.*c; });
    }
    // The window against the core, each against the plain loop alongside it.
    Cost windowIntakeVsCore() const
    {
        return ratio([](const Times &t, double Cost::*c) {
            return (t.windowIntake.*c / t.windowStat.*c) / (t.intake.*c / t.stat.*c);
        });
    }
    Cost windowBatchVsCore() const
    {
        return ratio([](const Times &t, double Cost::*c) {
            return (t.windowBatch.*c / t.windowCreateLockstep.*c) /
                   (t.batch.*c / t.createLockstep.*c);
        });
    }
};

Figures measure(qsizetype n)
{
    Figures f;
    for (int i = 0; i < 3; ++i) {
        const Times t = runOnce(n, i % 2 == 1);
        const auto p = [](const Cost &c) {
            return QByteArray::number(c.wall, 'g', 4) + '/' + QByteArray::number(c.cpu, 'g', 4);
        };
        std::fprintf(stderr,
                     "run %d of %lld files, wall/cpu s: stat %s create %s intake %s batch %s "
                     "(plain %s) window stat %s intake %s batch %s (plain %s)\n",
                     i + 1, qlonglong(n), p(t.stat).constData(), p(t.create).constData(),
                     p(t.intake).constData(), p(t.batch).constData(),
                     p(t.createLockstep).constData(), p(t.windowStat).constData(),
                     p(t.windowIntake).constData(), p(t.windowBatch).constData(),
                     p(t.windowCreateLockstep).constData());
        f.runs << t;
    }
    return f;
}

// Resident memory each listed row takes in the window, at its peak.
double bytesPerRow(qsizetype n)
{
    const QDir root(QStringLiteral("%1/memory").arg(g_workRoot));
    std::unique_ptr<QMimeData> data(
        dropData(makeSources(root.filePath(QStringLiteral("src")), n, 0).dropped));
    std::unique_ptr<frmMain> window(openWindow(root.filePath(QStringLiteral("PORONBO.INI"))));
    const long before = residentBaseKb();
    dropOn(window.get(), *data);
    if (window->makeList().count() != n)
        fail("window intake lost rows");
    return double(residentPeakKb() - before) * 1024.0 / double(n);
}

// What a list of many rows costs: the figures of the *_1m lines.
struct Large {
    qsizetype rows = 0;
    double bytesPerRow = 0;
    // removeEveryOther through the window (Qt's selection handling included), and
    // MakeList::remove alone.
    Cost windowIntake, appendOne, clear, removeEveryOther, coreRemoveEveryOther, stat, intake;
};

// Sources of a large list: files seen through as many folder links, link by link.
// The links go with the work folder.
Sources makeLinkedSources(const QString &root, qsizetype files, int links)
{
    const Sources first = makeSources(root + QStringLiteral("/files"), files, 1000);
    const std::string filesPrefix =
        QFile::encodeName(root + QStringLiteral("/files")).toStdString();
    Sources all;
    all.dropped.reserve(files * links + 1);
    all.dropped << QString();
    all.paths.reserve(size_t(files * links));
    for (int k = 0; k < links; ++k) {
        const QString link = QStringLiteral("%1/view%2").arg(root).arg(k, 2, 10, QLatin1Char('0'));
        if (!QFile::link(QStringLiteral("files"), link))
            fail("cannot make a folder link");
        const std::string linkPrefix = QFile::encodeName(link).toStdString();
        for (const std::string &path : first.paths) {
            std::string linked = linkPrefix + path.substr(filesPrefix.size());
            all.dropped << QDir::toNativeSeparators(QFile::decodeName(linked.c_str()));
            all.paths.push_back(std::move(linked));
        }
    }
    return all;
}

QList<double> millis(const QList<Cost> &costs, double Cost::*c)
{
    QList<double> v;
    for (const Cost &cost : costs)
        v << cost.*c * 1000.0;
    return v;
}

Large measureLarge(qsizetype rows)
{
    constexpr int Links = 100;
    const qsizetype files = std::max<qsizetype>(1, rows / Links);
    const QString root = g_workRoot + QStringLiteral("/large");
    Large r;
    Sources all = makeLinkedSources(root, files, Links);
    r.rows = qsizetype(all.paths.size());
    constexpr int Appends = 5;
    const Sources extra = makeSources(root + QStringLiteral("/extra"), Appends, 2000);
    settle();

    {
        std::unique_ptr<QMimeData> data(dropData(all.dropped));
        all.dropped.clear();
        all.dropped.squeeze();
        std::unique_ptr<frmMain> window(openWindow(root + QStringLiteral("/PORONBO.INI")));
        const long before = residentBaseKb();
        r.windowIntake = costOf([&] { dropOn(window.get(), *data); });
        if (window->makeList().count() != r.rows)
            fail("window intake lost rows");
        r.bytesPerRow = double(residentPeakKb() - before) * 1024.0 / double(r.rows);

        QList<Cost> appends;
        for (int i = 1; i <= Appends; ++i) {
            std::unique_ptr<QMimeData> one(dropData({QString(), extra.dropped.at(i)}));
            appends << costOf([&] { dropOn(window.get(), *one); });
            if (window->makeList().count() != r.rows + i)
                fail("the appended row is missing");
        }
        r.appendOne = {medianOf(millis(appends, &Cost::wall)),
                       medianOf(millis(appends, &Cost::cpu))};

        auto *clear = window->findChild<QPushButton *>(QStringLiteral("cmdClear"));
        const Cost cleared = costOf([&] {
            QTest::mouseClick(clear, Qt::LeftButton);
            QCoreApplication::processEvents();
        });
        if (window->makeList().count() != 0)
            fail("the list was not cleared");
        r.clear = {cleared.wall * 1000.0, cleared.cpu * 1000.0};

        // Delete with every other row selected.
        dropOn(window.get(), *data);
        data.reset();
        auto *view = window->findChild<QTableView *>(QStringLiteral("lvMakeList"));
        const QAbstractItemModel &model = window->makeList();
        QItemSelection every;
        for (int row = 0; row < model.rowCount(); row += 2)
            every.select(model.index(row, 0), model.index(row, model.columnCount() - 1));
        view->selectionModel()->select(every, QItemSelectionModel::ClearAndSelect);
        auto *remove = view->findChild<QAction *>(QStringLiteral("mnuRemoveRows"));
        const qsizetype kept = r.rows - (r.rows + 1) / 2;
        const Cost removed = costOf([&] {
            remove->trigger();
            QCoreApplication::processEvents();
        });
        if (window->makeList().count() != kept)
            fail("the selected rows were not removed");
        r.removeEveryOther = {removed.wall * 1000.0, removed.cpu * 1000.0};
    }

    // The core intake, against stat over the same paths.
    all.dropped.reserve(r.rows + 1);
    all.dropped << QString();
    for (const std::string &path : all.paths)
        all.dropped << QDir::toNativeSeparators(QFile::decodeName(path.c_str()));
    MakeList list;
    coreIntake(list, all, r.intake, r.stat);
    QList<int> everyOther;
    for (int n = 1; n <= list.count(); n += 2)
        everyOther << n;
    const Cost coreRemoved = costOf([&] { list.remove(everyOther); });
    r.coreRemoveEveryOther = {coreRemoved.wall * 1000.0, coreRemoved.cpu * 1000.0};
    std::fprintf(stderr,
                 "%lld rows, wall/cpu: window intake %.4g/%.4g s, append one %.4g/%.4g ms, "
                 "clear %.4g/%.4g ms, remove every other %.4g/%.4g ms (core %.4g/%.4g ms), "
                 "stat %.4g/%.4g s, core intake %.4g/%.4g s\n",
                 qlonglong(r.rows), r.windowIntake.wall, r.windowIntake.cpu, r.appendOne.wall,
                 r.appendOne.cpu, r.clear.wall, r.clear.cpu, r.removeEveryOther.wall,
                 r.removeEveryOther.cpu, r.coreRemoveEveryOther.wall, r.coreRemoveEveryOther.cpu,
                 r.stat.wall, r.stat.cpu, r.intake.wall, r.intake.cpu);
    return r;
}

QByteArray loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? f.readLine().trimmed() : QByteArray("?");
}

// "name value unit", then the target where there is one.
void line(const char *name, double value, const char *unit, const char *target = nullptr)
{
    if (target)
        std::printf("%s %.4g %s target<=%s\n", name, value, unit, target);
    else
        std::printf("%s %.4g %s\n", name, value, unit);
    std::fflush(stdout);
}

// A figure in wall time as name, in CPU time as name_cpu.
void lines(const char *name, const Cost &value, const char *unit, const char *target = nullptr)
{
    line(name, value.wall, unit, target);
    line(QByteArray(name).append("_cpu").constData(), value.cpu, unit, target);
}

Cost per(const Cost &a, const Cost &b, double times = 1.0)
{
    return {a.wall / (b.wall * times), a.cpu / (b.cpu * times)};
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qsizetype n = 100000;
    qsizetype rows = 0;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        bool ok = false;
        if (args[i] == QLatin1String("--files") && i + 1 < args.size()) {
            n = args[++i].toLongLong(&ok);
            ok = ok && n >= 10;
        } else if (args[i] == QLatin1String("--rows") && i + 1 < args.size()) {
            rows = args[++i].toLongLong(&ok);
            ok = ok && rows >= 100;
        } else if (args[i] == QLatin1String("--million")) {
            rows = 1000000;
            ok = true;
        }
        if (!ok) {
            std::fprintf(stderr, "usage: poronbo_bench [--files N] [--rows M | --million]"
                                 "  (N >= 10, M >= 100)\n");
            return 2;
        }
    }

    QTemporaryDir work;
    if (!work.isValid())
        fail("no temporary folder");
    g_workRoot = work.path();
    std::fprintf(stderr, "locale %s, load at start %s\n", qPrintable(QLocale::system().name()),
                 loadAverage().constData());
    const double perRow = bytesPerRow(n);
    const Figures big = measure(n);
    const Figures small = measure(n / 10);
    const Large large = rows > 0 ? measureLarge(rows) : Large{};

    std::fprintf(stderr, "load at end %s\n", loadAverage().constData());
    line("files", double(n), "files");
    lines("stat_loop", big(&Times::stat), "s");
    lines("create_loop", big(&Times::create), "s");
    lines("core_intake", big(&Times::intake), "s");
    lines("core_batch", big(&Times::batch), "s");
    lines("core_batch_plain_creates", big(&Times::createLockstep), "s");
    lines("window_intake", big(&Times::windowIntake), "s");
    lines("window_intake_stat_loop", big(&Times::windowStat), "s");
    lines("window_batch", big(&Times::windowBatch), "s");
    lines("window_batch_plain_creates", big(&Times::windowCreateLockstep), "s");
    lines("stat_loop_small", small(&Times::stat), "s");
    lines("core_intake_small", small(&Times::intake), "s");
    lines("core_batch_small", small(&Times::batch), "s");
    if (large.rows > 0) {
        line("rows_1m", double(large.rows), "rows");
        lines("window_intake_1m", large.windowIntake, "s");
        lines("stat_loop_1m", large.stat, "s");
        lines("core_intake_1m", large.intake, "s");
        lines("append_one_to_1m", large.appendOne, "ms", "5");
        lines("clear_1m", large.clear, "ms", "100");
        lines("remove_every_other_1m", large.removeEveryOther, "ms", "200");
    }

    lines("intake_vs_stat", big.intakeVsStat(), "ratio", "1.2");
    lines("batch_vs_create", big.batchVsPlain(), "ratio", "1.1");
    lines("window_intake_vs_core", big.windowIntakeVsCore(), "ratio", "1.3");
    lines("window_batch_vs_core", big.windowBatchVsCore(), "ratio", "1.3");
    line("bytes_per_row", perRow, "bytes");
    // Time per file at N against N/10.
    lines("scaling_100k_vs_10k_intake", per(big(&Times::intake), small(&Times::intake), 10.0),
          "ratio");
    lines("scaling_100k_vs_10k_stat", per(big(&Times::stat), small(&Times::stat), 10.0), "ratio");
    // Per file against the plain creates alongside, so that the file system's drift
    // between the two sizes does not count.
    lines("scaling_100k_vs_10k_batch", per(big.batchVsPlain(), small.batchVsPlain()), "ratio");
    if (large.rows > 0) {
        const double times = double(large.rows) / double(n); // per row at M against N
        line("bytes_per_row_1m", large.bytesPerRow, "bytes", "400");
        lines("intake_vs_stat_1m", per(large.intake, large.stat), "ratio");
        lines("scaling_1m_vs_100k_intake", per(large.intake, big(&Times::intake), times), "ratio",
              "1.2");
        lines("scaling_1m_vs_100k_stat", per(large.stat, big(&Times::stat), times), "ratio");
    }
    return 0;
}
