#include "FileStat.h"

#include "FileError.h"
#include "FileSystem.h"
#include "PathCodec.h"

#include <QTimeZone>
#include <cerrno>
#include <ctime>
#include <limits>

FileStat probeFile(const QString &path)
{
    if (const std::optional<NativePath> native = NativePath::from(path))
        return lookAtFile(*native);
    FileStat result;
    result.error = refusedPathError(path.isEmpty());
    return result;
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
    const std::optional<NativePath> native = NativePath::from(path);
    if (!native && !path.isEmpty())
        throw FileError(path, refusedPathReason());
    const FileStat result = native ? lookAtFile(*native) : probeFile(path);
    if (!result.exists)
        throw FileError(path, result.error);
    return result;
}
