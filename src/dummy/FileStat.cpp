#include "FileStat.h"

#include "FileError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>
#include <cerrno>
#include <ctime>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif
#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

FileStat probeFile(const QString &path)
{
    FileStat result;
#ifdef Q_OS_UNIX
    struct stat st;
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0) {
        result.error = path.isEmpty() ? ENOENT : errno;
        return result;
    }
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    result.exists = true;
    result.isFile = S_ISREG(st.st_mode);
    result.isHidden = path.size() > slash + 1 && path.at(slash + 1) == QLatin1Char('.');
#ifdef UF_HIDDEN
    result.isHidden = result.isHidden || (st.st_flags & UF_HIDDEN);
#endif
    result.size = qint64(st.st_size);
    result.modifiedMSecs = qint64(st.st_mtime) * 1000;
#else
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        result.error = ENOENT;
        return result;
    }
    result.exists = true;
    result.isFile = info.isFile();
    result.isHidden = info.isHidden();
#ifdef Q_OS_WIN
    const DWORD attributes = GetFileAttributesW(
        reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()));
    result.isHidden = result.isHidden || (attributes != INVALID_FILE_ATTRIBUTES &&
                                          (attributes & FILE_ATTRIBUTE_SYSTEM));
#endif
    result.size = info.size();
    result.modifiedMSecs = info.lastModified().toMSecsSinceEpoch();
#endif
    return result;
}

QDateTime localWallClock(qint64 msecs)
{
#ifdef Q_OS_UNIX
    // localtime_r, unlike Qt's local time, does not look at the time-zone file each call.
    const time_t secs = time_t(msecs >= 0 ? msecs / 1000 : (msecs - 999) / 1000);
    struct tm fields;
    if (localtime_r(&secs, &fields)) {
        return QDateTime(QDate(fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday),
                         QTime(fields.tm_hour, fields.tm_min, fields.tm_sec), QTimeZone::utc());
    }
#endif
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(msecs).toLocalTime();
    return QDateTime(local.date(),
                     QTime(local.time().hour(), local.time().minute(), local.time().second()),
                     QTimeZone::utc());
}

FileStat statFile(const QString &path)
{
    FileStat result = probeFile(path);
    if (!result.exists)
        throw FileError(path, systemReason(result.error));
    return result;
}
