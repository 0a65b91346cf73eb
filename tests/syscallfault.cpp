#include "syscallfault.h"

#include <QByteArrayList>
#include <cerrno>

constexpr int Short = -1, Fifo = -2;
static QHash<QByteArray, int> counts;

SyscallFaults::SyscallFaults(const QByteArray &plan)
{
    static const QHash<QByteArray, int> whats{
        {"ENOSPC", ENOSPC}, {"EIO", EIO},       {"EINTR", EINTR}, {"EACCES", EACCES},
        {"EPERM", EPERM},   {"EEXIST", EEXIST}, {"EXDEV", EXDEV}, {"ENOTSUP", ENOTSUP},
        {"short", Short},   {"fifo", Fifo}};
    planned.clear();
    counts.clear();
    for (const QByteArray &item : plan.split(' ')) {
        const QByteArrayList parts = QByteArray(item).replace('=', '#').split('#'); // call n what
        if (parts.size() == 3 && whats.contains(parts[2]))
            planned.insert(parts[0] + '#' + QByteArray::number(parts[1].toInt()), whats[parts[2]]);
        else if (!item.isEmpty())
            qFatal("bad fault plan item %s", item.constData());
    }
}

#ifdef Q_OS_LINUX
#include <cstdarg>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// What this call should do: 0 to work as usual, else an errno, Short or Fifo.
static int next(const char *call)
{
    return SyscallFaults::planned.take(call + ('#' + QByteArray::number(++counts[call])));
}

extern "C" {
#define PASS(Result, name, Params, args)                                                           \
    Result __real_##name Params;                                                                   \
    Result __wrap_##name Params                                                                    \
    {                                                                                              \
        const int what = next(#name);                                                              \
        return what > 0 ? (errno = what, -1) : __real_##name args;                                 \
    }
PASS(int, fstat, (int fd, struct stat *st), (fd, st))
PASS(int, fchmod, (int fd, mode_t mode), (fd, mode))
PASS(int, fchown, (int fd, uid_t owner, gid_t group), (fd, owner, group))
PASS(int, fsetxattr, (int fd, const char *name, const void *value, size_t size, int flags),
     (fd, name, value, size, flags))
PASS(int, fsync, (int fd), (fd))
PASS(int, rename, (const char *from, const char *to), (from, to))
PASS(ssize_t, read, (int fd, void *data, size_t size),
     (fd, data, what == Short ? (size + 1) / 2 : size))
PASS(ssize_t, write, (int fd, const void *data, size_t size),
     (fd, data, what == Short ? (size + 1) / 2 : size))

int __real_close(int fd);
int __wrap_close(int fd) // closes also when it fails
{
    const int what = next("close");
    const int result = __real_close(fd);
    return what > 0 ? (errno = what, -1) : result;
}

int __real_open(const char *path, int flags, ...);
int __wrap_open(const char *path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = flags & (O_CREAT | O_TMPFILE) ? va_arg(args, mode_t) : 0;
    va_end(args);
    const int what = next("open");
    if (what == Fifo && (::unlink(path) != 0 || ::mkfifo(path, 0600) != 0))
        qFatal("cannot put a FIFO at %s", path);
    return what > 0 ? (errno = what, -1) : __real_open(path, flags, mode);
}
}
#endif
