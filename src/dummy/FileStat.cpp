#include "FileStat.h"

#include "FileError.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

FileStat statFile(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        throw FileError(path, systemReason(errno));
    return {qint64(st.st_size), QDateTime::fromSecsSinceEpoch(st.st_mtime, Qt::LocalTime)};
#else
    const QFileInfo info(path);
    if (!info.exists())
        throw FileError(path, systemReason(ENOENT));
    return {info.size(), info.lastModified()};
#endif
}
