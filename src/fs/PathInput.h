#pragma once

#include <QString>
#include <QStringList>

class QUrl;

// text without the spaces (U+0020 only) at either end, as typed text is taken.
inline QString TrimSpaces(const QString &text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

// Every way a path comes in - an argument, a dropped or pasted URL, a dialog's choice, the
// typed output folder - made into the path the system itself opens for it, with native
// separators. Text from the system arrives decoded losslessly (decodePath).

// The program's arguments as the system passes them, the program first, losslessly: on
// Unix decoded from argv's bytes (decodePath), on Windows the UTF-16 command line's, argv
// unused. Call after the application object is made, which takes Qt's own from argv.
QStringList programArguments(int argc, const char *const *argv);

// The full path a command-line argument names; empty for an empty argument. A relative one
// is taken from the current folder as the system takes it: on Unix joined to it with ".."
// kept (through a link, "link/../x" is not "x"), on Windows "C:x" from drive C's current
// folder, "\x" from the current drive's root, ".." by text.
QString argumentPath(const QString &argument);

// The local path a file URL names, losslessly (on Unix from its percent-encoded bytes).
// Empty for a URL that names no local file, which is passed over as a web URL is: another
// scheme, a relative path, NUL in it, or a host other than "localhost" (on Windows a host
// names a network share, \\host\share, as the system's own tools open it).
QString decodeFileUrl(const QUrl &url);

// The file URL of a local path, the inverse of decodeFileUrl.
QUrl fileUrl(const QString &path);

// Whether path is full: on Unix from "/", on Windows "X:\..." or "\\server\..."; "C:x"
// and "\x" are relative to a current folder.
bool isFullPath(const QString &path);

// A typed folder: without its spaces at either end, as the system opens it when it is full;
// else as typed, for the intake to refuse.
QString typedFolderPath(const QString &typed);
