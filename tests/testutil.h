#pragma once

#include "makelist/MakeList.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

// Writes a file of size bytes (content repeated to fill it) and returns its native path.
inline QString makeFile(const QString &path, qint64 size = 1, const QByteArray &content = "x",
                        const QDateTime &mtime = {})
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    bool ok = f.open(QIODevice::WriteOnly) && f.resize(size);
    if (ok && size > 0 && size <= 1 << 20)
        ok = f.write(content.repeated(int(size / qMax(1, int(content.size())) + 1)).left(size)) ==
             size;
    if (ok && mtime.isValid())
        ok = f.flush();
    if (ok && mtime.isValid())
        ok = f.setFileTime(mtime, QFileDevice::FileModificationTime);
    if (!ok)
        qFatal("cannot write %s", qPrintable(path));
    return QDir::toNativeSeparators(path);
}

// text with the line ending a new settings file gets on this platform.
inline QByteArray newFileLines(QByteArray text)
{
#ifdef Q_OS_WIN
    text.replace("\n", "\r\n");
#endif
    return text;
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// Column c of every row: 0 the status text, 1 to 5 the sub-items.
inline QStringList column(const MakeList &list, int c)
{
    QStringList out;
    for (int n = 1; n <= list.count(); ++n)
        out << (c ? list.item(n).SubItems.at(c - 1) : list.item(n).Text);
    return out;
}
