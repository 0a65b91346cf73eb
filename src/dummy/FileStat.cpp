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
#include <string>

namespace
{

// path as Windows' wide-character functions take it past MAX_PATH: absolute, with
// backslashes, behind the \\?\ (or \\?\UNC\) prefix.
std::wstring longPath(const QString &path)
{
    QString native = QDir::toNativeSeparators(path);
    if (!native.startsWith(QLatin1String("\\\\?\\")) &&
        !native.startsWith(QLatin1String("\\\\.\\"))) {
        native = QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
        if (native.startsWith(QLatin1String("\\\\")))
            native = QLatin1String("\\\\?\\UNC\\") + native.sliced(2);
        else
            native = QLatin1String("\\\\?\\") + native;
    }
    return native.toStdWString();
}

// The directory entry itself, as Explorer lists it: a .lnk shortcut (which QFileInfo
// would follow) is a file with its own size and time.
FileStat probeEntry(const QString &path)
{
    FileStat result;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(longPath(path).c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = GetLastError();
        result.error = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                               error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH
                           ? ENOENT
                       : error == ERROR_ACCESS_DENIED ? EACCES
                                                      : int(error);
        return result;
    }
    result.exists = true;
    result.isFile = !(data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
    result.isHidden =
        (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
    result.size = qint64(quint64(data.nFileSizeHigh) << 32 | data.nFileSizeLow);
    // 100 ns intervals since 1601-01-01 UTC.
    const qint64 ticks = qint64(quint64(data.ftLastWriteTime.dwHighDateTime) << 32 |
                                data.ftLastWriteTime.dwLowDateTime) -
                         Q_INT64_C(116444736000000000);
    result.modifiedMSecs = ticks >= 0 ? ticks / 10000 : (ticks - 9999) / 10000;
    return result;
}

} // namespace
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
#elif defined(Q_OS_WIN)
    if (path.isEmpty()) {
        result.error = ENOENT;
        return result;
    }
    result = probeEntry(path);
#else
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        result.error = ENOENT;
        return result;
    }
    result.exists = true;
    result.isFile = info.isFile();
    result.isHidden = info.isHidden();
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
