#include "FileStat.h"

#include "FileError.h"
#include "PathCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QTimeZone>
#include <cerrno>
#include <ctime>
#include <limits>

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
        result.error = int(GetLastError()); // what systemReason tells here
        return result;
    }
    result.exists = true;
    result.isFile = !(data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
    result.isDir = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
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

namespace
{

// probeFile, given path as systemPath encodes it.
FileStat probeFile(const QString &path, const std::optional<QByteArray> &name)
{
    FileStat result;
#ifdef Q_OS_UNIX
    struct stat st;
    if (!name || ::stat(name->constData(), &st) != 0) {
        result.error = name ? errno : path.isEmpty() ? ENOENT : EINVAL;
        return result;
    }
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    result.exists = true;
    result.isFile = S_ISREG(st.st_mode);
    result.isDir = S_ISDIR(st.st_mode);
    result.isHidden = path.size() > slash + 1 && path.at(slash + 1) == QLatin1Char('.');
#ifdef UF_HIDDEN
    result.isHidden = result.isHidden || (st.st_flags & UF_HIDDEN);
#endif
    result.size = qint64(st.st_size);
    // Any time_t without overflow: one beyond what msecs hold (about 292 million years)
    // is kept as the end of the range it passed.
    constexpr qint64 most = std::numeric_limits<qint64>::max() / 1000;
    const qint64 secs = qint64(st.st_mtime);
    result.modifiedMSecs = secs > most    ? std::numeric_limits<qint64>::max()
                           : secs < -most ? std::numeric_limits<qint64>::min()
                                          : secs * 1000;
#elif defined(Q_OS_WIN)
    if (!name) {
        result.error = int(path.isEmpty() ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_NAME);
        return result;
    }
    result = probeEntry(path);
#else
    const QFileInfo info(path);
    if (!name || !info.exists()) {
        result.error = ENOENT;
        return result;
    }
    result.exists = true;
    result.isFile = info.isFile();
    result.isDir = info.isDir();
    result.isHidden = info.isHidden();
    result.size = info.size();
    result.modifiedMSecs = info.lastModified().toMSecsSinceEpoch();
#endif
    return result;
}

} // namespace

FileStat probeFile(const QString &path)
{
    return probeFile(path, systemPath(path));
}

QDateTime localWallClock(qint64 msecs)
{
    // The limits stand for times that cannot be told: the ends of the msecs range and
    // dates beyond what the system or QDate can hold.
    const QDateTime first(QDate(1, 1, 1), QTime(0, 0), QTimeZone::utc());
    const QDateTime last(QDate(9999, 12, 31), QTime(23, 59, 59), QTimeZone::utc());
    const QDateTime &limit = msecs < 0 ? first : last;
    if (msecs == std::numeric_limits<qint64>::max() || msecs == std::numeric_limits<qint64>::min())
        return limit;
#ifdef Q_OS_UNIX
    // localtime_r, unlike Qt's local time, does not look at the time-zone file each call.
    const time_t secs = time_t(msecs >= 0 ? msecs / 1000 : (msecs - 999) / 1000);
    struct tm fields;
    if (!localtime_r(&secs, &fields))
        return limit; // the year overflows an int
    // QDate has no year 0: the year before 1 is -1.
    const qint64 year = qint64(fields.tm_year) + 1900;
    const QDate date(int(year > 0 ? year : year - 1), fields.tm_mon + 1, fields.tm_mday);
    const QTime time(fields.tm_hour, fields.tm_min, fields.tm_sec);
#else
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(msecs).toLocalTime();
    const QDate date = local.date();
    const QTime time(local.time().hour(), local.time().minute(), local.time().second());
#endif
    return date.isValid() ? QDateTime(date, time, QTimeZone::utc()) : limit;
}

FileStat statFile(const QString &path)
{
    const std::optional<QByteArray> name = systemPath(path);
    if (!path.isEmpty() && !name)
        throw FileError(path, refusedPathReason());
    FileStat result = probeFile(path, name);
    if (!result.exists)
        throw FileError(path, systemReason(result.error));
    return result;
}
