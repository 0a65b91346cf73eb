#pragma once

#include "FileError.h"

#include <QDateTime>
#include <QString>

// What one look at a path tells. Nothing is opened. Symbolic links are followed on
// Unix; on Windows the entry itself is read, as Explorer lists it, so that a .lnk
// shortcut is a file with its own size and time.
struct FileStat {
    bool exists = false;
    bool isFile = false; // a regular file
    bool isDir = false;
    bool isHidden = false; // a dot name on Unix; hidden or system attribute on Windows
    qint64 size = 0;
    qint64 modifiedMSecs = 0; // since the epoch; the ends of the range for times beyond
    SystemError error;        // why it does not exist
};

// The local date and time of msecs since the epoch; 0001-01-01 00:00:00 or
// 9999-12-31 23:59:59 for one that cannot be told (msecs at either end of its range
// stand for a time beyond it). The value is marked as UTC, so that reading or
// formatting its fields makes no further time-zone conversion.
QDateTime localWallClock(qint64 msecs);

// A path that systemPath refuses (NUL in it) does not exist. As lookAtFile (FileSystem.h).
FileStat probeFile(const QString &path);

// As probeFile, but throws FileError when path cannot be read or is refused.
FileStat statFile(const QString &path);
