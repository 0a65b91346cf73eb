#pragma once

#include <QByteArrayView>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>

// An open file descriptor, closed when it goes out of scope unless closed before.
class UnixFile
{
public:
    explicit UnixFile(int fd = -1) : m_fd(fd) {}
    ~UnixFile() { close(); }
    UnixFile(const UnixFile &) = delete;
    UnixFile &operator=(const UnixFile &) = delete;

    int fd() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    // Takes fd in place of the one held, which is closed.
    void reset(int fd)
    {
        close();
        m_fd = fd;
    }

    // Closes the file now: 0, or the errno of a close that failed (a delayed write error).
    int close()
    {
        if (m_fd < 0)
            return 0;
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0 ? 0 : errno;
    }

    // Writes all of data: 0, or the errno that stopped it (EIO when nothing was written).
    int writeAll(QByteArrayView data) const
    {
        for (qsizetype done = 0; done < data.size();) {
            const ssize_t n = ::write(m_fd, data.data() + done, size_t(data.size() - done));
            if (n > 0)
                done += n;
            else if (n == 0 || errno != EINTR)
                return n == 0 ? EIO : errno;
        }
        return 0;
    }

    // Reads up to size bytes, to the end of the file: how many, or -1 on an error.
    qsizetype readAll(char *data, qsizetype size) const
    {
        qsizetype done = 0;
        while (done < size) {
            const ssize_t n = ::read(m_fd, data + done, size_t(size - done));
            if (n > 0)
                done += n;
            else if (n == 0)
                break;
            else if (errno != EINTR)
                return -1;
        }
        return done;
    }

private:
    int m_fd = -1;
};
#endif
