#pragma once

#include <QString>
#include <stdexcept>

// A failure as the system reported it: an errno value or a Win32 error code, kept apart
// because the same number means different things in each.
class SystemError
{
public:
    enum class Kind : quint8 { None, Errno, Win32 };

    SystemError() = default;
    static SystemError errnoCode(int code) { return SystemError(Kind::Errno, code); }
    static SystemError win32Code(unsigned long code)
    {
        return SystemError(Kind::Win32, long(code));
    }
    // The calling thread's last error: errno on Unix, GetLastError() on Windows.
    static SystemError last();

    Kind kind() const { return m_kind; }
    long code() const { return m_code; }
    explicit operator bool() const { return m_kind != Kind::None; }
    bool operator==(const SystemError &) const = default;

    // The system's own text: strerror's for errno, FormatMessage's for Win32.
    QString text() const;
    // Nothing by that name, or a folder on the way missing.
    bool isNotFound() const;
    // It may be there, but this user may not look at it.
    bool isAccessDenied() const;

private:
    SystemError(Kind kind, long code) : m_kind(kind), m_code(code) {}
    Kind m_kind = Kind::None;
    long m_code = 0;
};

// An unexpected file-system failure: the path involved and the system's reason.
// what() is "path: reason" in UTF-8.
class FileError : public std::runtime_error
{
public:
    FileError(const QString &path, const QString &reason);
    FileError(const QString &path, const SystemError &error) : FileError(path, error.text()) {}

    const QString &path() const { return m_path; }
    const QString &reason() const { return m_reason; }

private:
    QString m_path;
    QString m_reason;
};

// The text of any exception of this program: what() is always UTF-8.
inline QString whatText(const std::exception &e)
{
    return QString::fromUtf8(e.what());
}

// The system's text for an error code of the platform's own kind (errno on Unix, Win32 on
// Windows), or for the last error when -1.
QString systemReason(int error = -1);
