#pragma once

#include "makelist/MakeList.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <qt_windows.h>

// Whether the tests run under Wine, whose file system is Linux's.
inline bool underWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}
#endif

// Writes a file of size bytes (content repeated to fill it; sparse when larger than 1 MiB
// and content) and returns its native path.
inline QString makeFile(const QString &path, qint64 size = 1, const QByteArray &content = "x",
                        const QDateTime &mtime = {})
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    bool ok = f.open(QIODevice::WriteOnly) && f.resize(size);
    if (ok && size > 0 && (size <= 1 << 20 || content.size() >= size))
        ok = f.write(content.repeated(int(size / qMax(1, int(content.size())) + 1)).left(size)) ==
             size;
    if (ok && mtime.isValid())
        ok = f.flush() && f.setFileTime(mtime, QFileDevice::FileModificationTime);
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

// The texts column c shows (or gives for role), row by row, as the views get them.
inline QStringList column(const MakeList &list, MakeColumn c, int role = Qt::DisplayRole)
{
    QStringList out;
    for (int row = 0; row < list.count(); ++row)
        out << list.data(list.index(row, int(c)), role).toString();
    return out;
}
