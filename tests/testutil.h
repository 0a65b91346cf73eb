#pragma once

#include "makelist/MakeList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <qt_windows.h>

inline bool underWine() // Wine's file system is Linux's
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}
#endif

// Writes size bytes of content repeated (sparse past 1 MiB and content), returns the native path.
inline QString makeFile(const QString &path, qint64 size = 1, const QByteArray &content = "x",
                        const QDateTime &mtime = {})
{
    QDir().mkpath(QFileInfo(path).path());
    const QByteArray data = size > 1 << 20 && content.size() < size // sparse
                                ? ""
                                : content.repeated(size / qMax(1, content.size()) + 1);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || !f.resize(size) ||
        f.write(data.left(size)) != qMin(data.size(), size) ||
        (mtime.isValid() && !(f.flush() && f.setFileTime(mtime, QFile::FileModificationTime))))
        qFatal("cannot write %s", qPrintable(path));
    return QDir::toNativeSeparators(path);
}

inline QByteArray newFileLines(QByteArray text) // with a new settings file's line endings
{
    return QDir::separator() == u'\\' ? text.replace("\n", "\r\n") : text; // Windows
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// The texts column c shows (or gives for role), row by row.
inline QStringList column(const MakeList &list, MakeColumn c, int role = Qt::DisplayRole)
{
    QStringList out;
    for (int row = 0; row < list.count(); ++row)
        out << list.data(list.index(row, int(c)), role).toString();
    return out;
}
