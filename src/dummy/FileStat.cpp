#include "FileStat.h"

#include "FileError.h"
#include "PathCodec.h"

#include <QDir>
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
    const std::optional<QByteArray> name = systemPath(path);
    struct stat st;
    if (!name || ::stat(name->constData(), &st) != 0) {
        result.error = name ? errno : path.isEmpty() ? ENOENT : EINVAL;
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
    // Any time_t, however far out, without overflow; beyond the bound a time is past
    // every year a record can hold anyway.
    constexpr qint64 bound = qint64(1) << 40; // seconds, about 34,800 years
    result.modifiedMSecs = qBound(-bound, qint64(st.st_mtime), bound) * 1000;
#else
    const QFileInfo info(path);
    if (!systemPath(path) || !info.exists()) {
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
    const QDateTime first(QDate(1, 1, 1), QTime(0, 0), QTimeZone::utc());
    const QDateTime last(QDate(9999, 12, 31), QTime(23, 59, 59), QTimeZone::utc());
    const auto clamped = [&](const QDate &date, const QTime &time) {
        if (!date.isValid())
            return msecs < 0 ? first : last;
        return date.year() < 1      ? first
               : date.year() > 9999 ? last
                                    : QDateTime(date, time, QTimeZone::utc());
    };
#ifdef Q_OS_UNIX
    // localtime_r, unlike Qt's local time, does not look at the time-zone file each call.
    const time_t secs = time_t(msecs >= 0 ? msecs / 1000 : (msecs - 999) / 1000);
    struct tm fields;
    if (!localtime_r(&secs, &fields))
        return msecs < 0 ? first : last; // the year overflows an int
    return clamped(QDate(fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday),
                   QTime(fields.tm_hour, fields.tm_min, fields.tm_sec));
#else
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(msecs).toLocalTime();
    return clamped(local.date(),
                   QTime(local.time().hour(), local.time().minute(), local.time().second()));
#endif
}

FileStat statFile(const QString &path)
{
    if (!path.isEmpty() && !systemPath(path))
        throw FileError(path, refusedPathReason());
    FileStat result = probeFile(path);
    if (!result.exists)
        throw FileError(path, systemReason(result.error));
    return result;
}
