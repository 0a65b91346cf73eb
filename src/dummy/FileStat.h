#pragma once

#include <QDateTime>
#include <QString>

// Size and last-modified time of a file, following links.
struct FileStat {
    qint64 size = 0;
    QDateTime modified; // local time
};

// Reads the metadata of path without opening it; throws FileError when it cannot.
FileStat statFile(const QString &path);
