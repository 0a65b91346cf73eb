#pragma once

#include "FileError.h"
#include "FileStat.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

// The program's only door to the file system. Every operation takes a NativePath, made
// once from the path as the program holds it; each failure is a SystemError.

// NotInNames: what no name holds here besides control characters. FoldedNames: whether
// names are compared without case here (on Windows as NTFS compares them).
#ifdef Q_OS_WIN
using NativeString = std::wstring; // \\?\ long form, taken exactly as written
constexpr QStringView NotInNames = u"\\/:*?\"<>|";
constexpr bool FoldedNames = true;
#else
using NativeString = QByteArray; // the name's bytes (PathCodec.h)
constexpr QStringView NotInNames = u"/";
constexpr bool FoldedNames = false;
#endif

class NativePath
{
public:
    // Nothing for an empty path or one no file can have (a NUL, a lone surrogate that is
    // no escaped byte): refusedPathReason() tells why.
    static std::optional<NativePath> from(const QString &path);

    const QString &path() const { return m_path; } // as given
    const NativeString &native() const { return m_native; }

private:
    NativePath(const QString &path, NativeString native) : m_path(path), m_native(std::move(native))
    {
    }
    QString m_path;
    NativeString m_native;
};

// The entry itself, a link not followed.
FileStat lookAtEntry(const NativePath &path);

// The file the path names: links followed on Unix; on Windows the entry itself, so that a
// .lnk shortcut is a file of its own.
FileStat lookAtFile(const NativePath &path);

enum class NewFile { Created, NotCreated, NotWritten };

// Creates path as a new file holding content; never opens anything that exists. A file it
// created but could not fill is removed again. error tells why it failed.
NewFile createNewFile(const NativePath &path, QByteArrayView content, SystemError &error);

struct FileRead {
    enum class Status { Read, Missing, NotRegular, TooLarge, Failed };
    Status status = Status::Failed;
    SystemError error; // for Missing and Failed
    QByteArray data;   // Read: the whole file; TooLarge: the first limit + 1 bytes
    qint64 size = 0;   // the size the file stated (TooLarge: at least data's)
};

// Reads the regular file at path, of at most limit bytes. Nothing else is opened for long or
// waited on: a FIFO, device or socket is NotRegular. Missing only when nothing at all is
// there (a dangling link is NotRegular). followLinks false refuses a link as NotRegular.
FileRead readRegularFile(const NativePath &path, qint64 limit, bool followLinks = true);

struct Replaced {
    enum class Status {
        Done,
        ReadOnly,       // not the user's to change: nothing written
        Failed,         // error; the file is as it was
        AttributesLost, // written; hidden/system attributes not given back (error)
        Damaged,        // written in place, failed (error), and old could not be put back
    };
    Status status = Status::Done;
    SystemError error;
    SystemError restoreError; // Damaged
    bool restored = false;    // Failed: written in place part way and old put back
};

// Replaces the file at path (links followed), which held old, with content, or leaves it as it
// was. Every write, the flush to disk and the close are checked before the new file takes the
// old one's place with its owner, mode and extended attributes (Windows: hidden and system
// attributes). A file that cannot be replaced so (its folder not writable, an attribute the
// new file cannot be given) is written over in place, old written back when that fails. A file
// without write permission for the user or with the read-only attribute is never written.
// A missing file is created.
Replaced replaceFile(const NativePath &path, QByteArrayView old, QByteArrayView content);

// Makes folder and the folders missing above it. Nothing when the folder is there (or
// something else has its name).
SystemError makeFolders(const NativePath &folder);

// Makes the one folder, its parent being there. Nothing when something has its name already.
SystemError makeFolder(const NativePath &folder);

// Whether the current user may create files in folder: nothing is left behind.
bool isFolderWritable(const NativePath &folder);

// What a path that NativePath refuses stands for: not found when empty, an invalid name else.
SystemError refusedPathError(bool empty);

// The folders installed programs live in: on Windows %ProgramFiles%, %ProgramFiles(x86)% and
// %ProgramW6432% (any may be empty); elsewhere /usr, /opt and the others package managers fill.
QStringList installRoots();

// The per-user configuration folder, Qt's AppConfigLocation qt as the system means it: on
// Unix but macOS with XDG_CONFIG_HOME and HOME read losslessly and a relative
// XDG_CONFIG_HOME ignored (Qt decodes them with loss and takes a relative one); else qt.
QString configHome(const QString &qt);

// A device that hands the UTF-16 code units written to it to the Windows console that file
// is (WriteConsoleW), which shows every character whatever its code page; nothing when file
// is no console, or elsewhere.
std::unique_ptr<QIODevice> consoleDevice(FILE *file);
