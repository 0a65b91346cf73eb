#pragma once

#include <QByteArrayView>
#include <QString>

#ifdef Q_OS_UNIX
#include <sys/stat.h>

// Gives the open file fd the owner, group and mode in old and the extended attributes
// (the ACL among them) of the file at from. Returns 0, or the errno of the first that
// could not be set.
int keepAttributes(const char *from, const struct stat &old, int fd);
#endif

#ifdef Q_OS_WIN
// Gives path the hidden and system attributes of attributes (as read before it was
// replaced). Returns why when they could not be set; empty otherwise.
QString keepAttributes(const QString &path, unsigned long attributes);
#endif

// Writes content over the regular file at path, in place (the same file, so its
// attributes stay), cuts it to that length and flushes it to disk. When that fails part
// way, old, the file's bytes before, is written back. Returns empty, or the system's
// reason with whether the old bytes are back.
QString writeInPlace(const QString &path, QByteArrayView old, QByteArrayView content);
