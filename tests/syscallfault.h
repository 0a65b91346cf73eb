#pragma once

#include <QByteArray>

// Makes chosen system calls of the code under test fail while it lives. On Linux the test
// programs are linked with the linker's --wrap for open, read, write, fstat, fchmod, fsync,
// close and rename, so that the core library's calls go through syscallfault.cpp.
//
// A plan lists "call#n=what": the n-th such call from now fails with errno what (ENOSPC,
// EIO, EINTR, EACCES, EPERM, EEXIST, EXDEV), or "short" reads or writes at most half of
// what was asked, or (open) "fifo" first puts a FIFO where the file was. A failing close
// still closes. Elsewhere only the empty plan is supported.
class SyscallFaults
{
public:
#ifdef Q_OS_LINUX
    explicit SyscallFaults(const QByteArray &plan);
    ~SyscallFaults();
    // Whether every fault of the plan was met (a call left out would pass unseen).
    bool allMet() const;
    static bool supported()
    {
        return true;
    }
#else
    explicit SyscallFaults(const QByteArray &) {}
    bool allMet() const
    {
        return true;
    }
    static bool supported()
    {
        return false;
    }
#endif
};
