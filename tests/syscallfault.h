#pragma once

#include <QByteArray>

// Makes chosen system calls of the code under test fail while it lives. The test programs
// are linked with the linker's --wrap for open, read, write, fstat, fchmod, fsync, close
// and rename (Linux only), so that the calls of the core library go through here.
//
// A plan is a list of "call#n=what": the n-th such call from now fails with errno what
// (ENOSPC, EIO, EINTR, EACCES, EPERM, EEXIST, EXDEV), or with "short" reads or writes at
// most half of what was asked; open with "fifo" first puts a FIFO where the file was.
// Calls work as usual once their fault has passed; a failing close still closes.
class SyscallFaults
{
public:
    explicit SyscallFaults(const QByteArray &plan);
    ~SyscallFaults();
    SyscallFaults(const SyscallFaults &) = delete;
    SyscallFaults &operator=(const SyscallFaults &) = delete;

    // Whether every fault of the plan has been met (a call left out would pass unseen).
    bool allMet() const;
    static bool supported();
};

#ifndef Q_OS_LINUX
inline SyscallFaults::SyscallFaults(const QByteArray &plan)
{
    Q_ASSERT(plan.isEmpty());
}
inline SyscallFaults::~SyscallFaults() = default;
inline bool SyscallFaults::allMet() const
{
    return true;
}
inline bool SyscallFaults::supported()
{
    return false;
}
#endif
