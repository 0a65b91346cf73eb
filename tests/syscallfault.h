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
    explicit SyscallFaults(const QByteArray &plan);
    ~SyscallFaults();
    bool allMet() const; // whether every fault of the plan was met (one left out passes unseen)
    static bool supported()
    {
#ifdef Q_OS_LINUX
        return true;
#else
        return false;
#endif
    }
};
