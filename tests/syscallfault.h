#pragma once

#include <QByteArray>
#include <QHash>

// Makes chosen system calls fail while it lives (on Linux, linked with --wrap for open, read,
// write, fstat, fchmod, fchown, fsetxattr, fsync, close, rename). A plan lists "call#n=what": the
// n-th such call from now fails with errno what (ENOSPC, EIO, EINTR, EACCES, EPERM, EEXIST, EXDEV,
// ENOTSUP), or "short" reads or writes at most half, or (open) "fifo" puts a FIFO at the file.
class SyscallFaults
{
public:
    explicit SyscallFaults(const QByteArray &plan);
    ~SyscallFaults() { planned.clear(); }
    // A fault never met (a call misnamed, or not made) would pass unseen.
    bool allMet() const { return planned.isEmpty(); }
    static inline QHash<QByteArray, int> planned; // "call#n" (n from the plan's start) to what
};
