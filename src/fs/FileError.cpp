#include "FileError.h"

#include <QDir>

FileError::FileError(const QString &path, const QString &reason)
    : std::runtime_error(QStringLiteral("%1: %2")
                             .arg(QDir::toNativeSeparators(path), reason)
                             .toUtf8()
                             .constData()),
      m_path(path), m_reason(reason)
{
}

QString systemReason(int error)
{
    return qt_error_string(error);
}
