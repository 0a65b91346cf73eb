#include "syscallfault.h"

#ifdef Q_OS_LINUX
#include <QByteArrayList>
#include <QList>
#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

enum Call { Open, Read, Write, Fstat, Fchmod, Fsync, Close, Rename, Calls };
constexpr int Short = -1, Fifo = -2;

struct Fault {
    Call call;
    int nth;  // counted from the plan's start
    int what; // errno, Short or Fifo
    bool met = false;
};
QList<Fault> faults;
int counts[Calls] = {};

// What this call should do: 0 to work as usual.
int next(Call call)
{
    const int n = ++counts[call];
    const auto f = std::find_if(faults.begin(), faults.end(),
                                [&](const Fault &f) { return f.call == call && f.nth == n; });
    return f == faults.end() ? 0 : (f->met = true, f->what);
}

int fail(int error)
{
    errno = error;
    return -1;
}

} // namespace

SyscallFaults::SyscallFaults(const QByteArray &plan)
{
    static const QByteArrayList calls{"open",   "read",  "write", "fstat",
                                      "fchmod", "fsync", "close", "rename"};
    static const QByteArrayList whats{"ENOSPC", "EIO",   "EINTR", "EACCES", "EPERM",
                                      "EEXIST", "EXDEV", "short", "fifo"};
    static const int values[] = {ENOSPC, EIO, EINTR, EACCES, EPERM, EEXIST, EXDEV, Short, Fifo};
    faults.clear();
    std::fill(std::begin(counts), std::end(counts), 0);
    for (const QByteArray &item : plan.split(' ')) {
        const QByteArrayList parts = QByteArray(item).replace('=', '#').split('#'); // call n what
        const qsizetype call = calls.indexOf(parts.value(0)), what = whats.indexOf(parts.value(2));
        if (parts.size() == 3 && call >= 0 && what >= 0)
            faults.append({Call(call), parts[1].toInt(), values[what]});
        else if (!item.isEmpty())
            qFatal("bad fault plan item %s", item.constData());
    }
}

SyscallFaults::~SyscallFaults()
{
    faults.clear();
}

bool SyscallFaults::allMet() const
{
    return std::all_of(faults.cbegin(), faults.cend(), [](const Fault &f) { return f.met; });
}

// The wrappers: an armed fault fails the call (or shortens it); else the call is made.
extern "C" {
#define PASS(call, Result, name, Params, args)                                                     \
    Result __real_##name Params;                                                                   \
    Result __wrap_##name Params                                                                    \
    {                                                                                              \
        const int what = next(call);                                                               \
        return what > 0 ? fail(what) : __real_##name args;                                         \
    }
PASS(Fstat, int, fstat, (int fd, struct stat *st), (fd, st))
PASS(Fchmod, int, fchmod, (int fd, mode_t mode), (fd, mode))
PASS(Fsync, int, fsync, (int fd), (fd))
PASS(Rename, int, rename, (const char *from, const char *to), (from, to))
PASS(Read, ssize_t, read, (int fd, void *data, size_t size),
     (fd, data, what == Short ? (size + 1) / 2 : size))
PASS(Write, ssize_t, write, (int fd, const void *data, size_t size),
     (fd, data, what == Short ? (size + 1) / 2 : size))

int __real_close(int fd);
int __wrap_close(int fd)
{
    const int what = next(Close);
    const int result = __real_close(fd);
    return what > 0 ? fail(what) : result;
}

int __real_open(const char *path, int flags, ...);
int __wrap_open(const char *path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = flags & (O_CREAT | O_TMPFILE) ? va_arg(args, mode_t) : 0;
    va_end(args);
    const int what = next(Open);
    if (what == Fifo && (::unlink(path) != 0 || ::mkfifo(path, 0600) != 0))
        qFatal("cannot put a FIFO at %s", path);
    return what > 0 ? fail(what) : __real_open(path, flags, mode);
}
}
#endif
