#include "syscallfault.h"

#ifdef Q_OS_LINUX
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
constexpr const char *CallNames[Calls] = {"open",   "read",  "write", "fstat",
                                          "fchmod", "fsync", "close", "rename"};
constexpr int Short = -1, Fifo = -2;

struct Fault {
    Call call;
    int nth;  // counted from the plan's start
    int what; // errno, Short or Fifo
    bool met = false;
};

QList<Fault> faults;
int counts[Calls] = {};

// What the current call of call should do: 0 to work as usual.
int next(Call call)
{
    const int n = ++counts[call];
    for (Fault &f : faults) {
        if (f.call == call && f.nth == n) {
            f.met = true;
            return f.what;
        }
    }
    return 0;
}

int fail(int error)
{
    errno = error;
    return -1;
}

} // namespace

SyscallFaults::SyscallFaults(const QByteArray &plan)
{
    const struct {
        const char *name;
        int value;
    } whats[] = {{"ENOSPC", ENOSPC}, {"EIO", EIO},     {"EINTR", EINTR},
                 {"EACCES", EACCES}, {"EPERM", EPERM}, {"EEXIST", EEXIST},
                 {"EXDEV", EXDEV},   {"short", Short}, {"fifo", Fifo}};
    faults.clear();
    std::fill(std::begin(counts), std::end(counts), 0);
    for (const QByteArray &item : plan.split(' ')) {
        if (item.isEmpty())
            continue;
        const qsizetype hash = item.indexOf('#'), eq = item.indexOf('=');
        const QByteArray name = item.first(qMax<qsizetype>(hash, 0)), what = item.sliced(eq + 1);
        const auto call = std::find(std::begin(CallNames), std::end(CallNames), name);
        const auto w = std::find_if(std::begin(whats), std::end(whats),
                                    [&](const auto &x) { return what == x.name; });
        if (hash < 0 || eq < hash || call == std::end(CallNames) || w == std::end(whats))
            qFatal("bad fault plan item %s", item.constData());
        faults.append({Call(call - std::begin(CallNames)),
                       item.sliced(hash + 1, eq - hash - 1).toInt(), w->value});
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

bool SyscallFaults::supported()
{
    return true;
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
PASS(Fstat, int, fstat64, (int fd, struct stat64 *st), (fd, st))
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

#define OPEN(name)                                                                                 \
    int __real_##name(const char *path, int flags, ...);                                           \
    int __wrap_##name(const char *path, int flags, ...)                                            \
    {                                                                                              \
        va_list args;                                                                              \
        va_start(args, flags);                                                                     \
        const mode_t mode = flags & (O_CREAT | O_TMPFILE) ? va_arg(args, mode_t) : 0;              \
        va_end(args);                                                                              \
        const int what = next(Open);                                                               \
        if (what == Fifo && (::unlink(path) != 0 || ::mkfifo(path, 0600) != 0))                    \
            qFatal("cannot put a FIFO at %s", path);                                               \
        return what > 0 ? fail(what) : __real_##name(path, flags, mode);                           \
    }
OPEN(open)
OPEN(open64)
}
#endif
