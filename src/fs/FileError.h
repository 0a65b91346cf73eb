#pragma once

#include <QString>
#include <stdexcept>

// An unexpected file-system failure: the path involved and the system's reason.
// what() is "path: reason" in UTF-8.
class FileError : public std::runtime_error
{
public:
    FileError(const QString &path, const QString &reason);

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

// The system's text for an errno value (or the last error when -1).
QString systemReason(int error = -1);
