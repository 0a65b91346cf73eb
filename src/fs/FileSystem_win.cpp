#include "FileSystem.h"

#include "PathCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <io.h>
#include <memory>
#include <qt_windows.h>
#include <string>

namespace
{

// An open handle, closed when it goes out of scope.
using Handle = std::unique_ptr<void, decltype(&CloseHandle)>;

Handle own(HANDLE handle)
{
    return Handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle, &CloseHandle);
}

SystemError lastError()
{
    return SystemError::win32Code(GetLastError());
}

// Names Windows takes for devices in any folder, with or without an extension.
bool isDeviceName(QStringView name)
{
    name = name.first(name.contains(u'.') ? name.indexOf(u'.') : name.size());
    while (name.endsWith(u' '))
        name.chop(1);
    static const QStringList devices{"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    const bool numbered = name.size() == 4 && name.at(3).isDigit() && name.at(3) != u'0' &&
                          (name.startsWith(u"COM", Qt::CaseInsensitive) ||
                           name.startsWith(u"LPT", Qt::CaseInsensitive));
    return numbered || devices.contains(name.toString(), Qt::CaseInsensitive);
}

// path as Windows' wide-character functions take it exactly, past MAX_PATH too: absolute,
// with backslashes, behind the \\?\ (or \\?\UNC\) prefix, so that a name ending in a dot
// or a space is not cut.
std::wstring longPath(const QString &path)
{
    QString native = QDir::toNativeSeparators(path);
    if (!native.startsWith(QLatin1String("\\\\?\\")) &&
        !native.startsWith(QLatin1String("\\\\.\\"))) {
        native = QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
        if (native.startsWith(QLatin1String("\\\\")))
            native = QLatin1String("\\\\?\\UNC\\") + native.sliced(2);
        else
            native = QLatin1String("\\\\?\\") + native;
    }
    return native.toStdWString();
}

FileStat look(const NativePath &path)
{
    FileStat result;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.native().c_str(), GetFileExInfoStandard, &data)) {
        result.error = lastError();
        return result;
    }
    result.exists = true;
    result.isFile = !(data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
    result.isDir = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    result.isHidden =
        (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
    result.size = qint64(quint64(data.nFileSizeHigh) << 32 | data.nFileSizeLow);
    // 100 ns intervals since 1601-01-01 UTC.
    const qint64 ticks = qint64(quint64(data.ftLastWriteTime.dwHighDateTime) << 32 |
                                data.ftLastWriteTime.dwLowDateTime) -
                         Q_INT64_C(116444736000000000);
    result.modifiedMSecs = ticks >= 0 ? ticks / 10000 : (ticks - 9999) / 10000;
    return result;
}

// Writes all of data at the file's position: 0 or the error that stopped it.
DWORD writeAll(HANDLE file, QByteArrayView data)
{
    for (qsizetype done = 0; done < data.size();) {
        DWORD n = 0;
        const DWORD size = DWORD(qMin<qsizetype>(data.size() - done, 1 << 30));
        if (!WriteFile(file, data.data() + done, size, &n, nullptr))
            return GetLastError();
        if (n == 0)
            return ERROR_WRITE_FAULT;
        done += n;
    }
    return 0;
}

// Writes the UTF-16 code units that QTextStream encodes to a console.
class ConsoleDevice final : public QIODevice
{
public:
    explicit ConsoleDevice(HANDLE console) : m_console(console) { open(WriteOnly | Unbuffered); }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        const auto *units = reinterpret_cast<const wchar_t *>(data);
        const qint64 count = size / 2;
        for (qint64 done = 0; done < count;) {
            DWORD chunk = DWORD(qMin<qint64>(count - done, 4096));
            if (chunk > 1 && QChar::isHighSurrogate(units[done + chunk - 1]))
                --chunk; // a character is not split
            DWORD written = 0;
            if (!WriteConsoleW(m_console, units + done, chunk, &written, nullptr) || !written)
                return -1;
            done += written;
        }
        return size;
    }

private:
    HANDLE m_console;
};

} // namespace

SystemError SystemError::last()
{
    return win32Code(GetLastError());
}

QString SystemError::text() const
{
    if (m_kind == Kind::Errno) {
        char text[256] = {};
        strerror_s(text, sizeof text, int(m_code));
        return QString::fromLocal8Bit(text);
    }
    wchar_t *text = nullptr;
    const DWORD size = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, DWORD(m_code), 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    const std::unique_ptr<void, decltype(&LocalFree)> freeing(text, &LocalFree);
    const QString message = size ? QString::fromWCharArray(text, int(size)).trimmed() : QString();
    return message.isEmpty() ? QStringLiteral("Windows error %1").arg(m_code) : message;
}

bool SystemError::isNotFound() const
{
    return m_kind == Kind::Win32 ? m_code == ERROR_FILE_NOT_FOUND || m_code == ERROR_PATH_NOT_FOUND
                                 : m_kind == Kind::Errno && m_code == ENOENT;
}

bool SystemError::isAccessDenied() const
{
    return m_kind == Kind::Win32 ? m_code == ERROR_ACCESS_DENIED
                                 : m_kind == Kind::Errno && m_code == EACCES;
}

SystemError refusedPathError(bool empty)
{
    return SystemError::win32Code(empty ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_NAME);
}

std::optional<NativePath> NativePath::from(const QString &path)
{
    if (!systemPath(path))
        return std::nullopt;
    const QStringList names = QDir::fromNativeSeparators(path).split(u'/');
    if (std::any_of(names.begin(), names.end(), [](const QString &n) { return isDeviceName(n); }))
        return std::nullopt; // the \\?\ form would make a file that Explorer cannot remove
    return NativePath(path, longPath(path));
}

FileStat lookAtEntry(const NativePath &path)
{
    return look(path);
}

FileStat lookAtFile(const NativePath &path)
{
    return look(path);
}

NewFile createNewFile(const NativePath &path, QByteArrayView content, SystemError &error)
{
    Handle file = own(CreateFileW(path.native().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = lastError();
        return NewFile::NotCreated;
    }
    DWORD code = writeAll(file.get(), content);
    if (!CloseHandle(file.release()) && !code)
        code = GetLastError();
    if (!code)
        return NewFile::Created;
    error = SystemError::win32Code(code);
    DeleteFileW(path.native().c_str());
    return NewFile::NotWritten;
}

FileRead readRegularFile(const NativePath &path, qint64 limit, bool followLinks)
{
    using S = FileRead::Status;
    FileRead result;
    // A look first, so that nothing but a regular file is ever opened.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.native().c_str(), GetFileExInfoStandard, &data)) {
        result.error = lastError();
        result.status = result.error.isNotFound() ? S::Missing : S::Failed;
        return result;
    }
    const DWORD notFile = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE |
                          (followLinks ? 0 : FILE_ATTRIBUTE_REPARSE_POINT);
    result.status = S::NotRegular;
    if (data.dwFileAttributes & notFile)
        return result;
    const Handle file = own(CreateFileW(
        path.native().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size)) {
        result.error = lastError();
        result.status = S::Failed;
        return result;
    }
    if (GetFileType(file.get()) != FILE_TYPE_DISK) // replaced since the look
        return result;
    // Read to the end, or to one byte past the limit for a file that grows meanwhile.
    result.data.resize(qMin<qint64>(size.QuadPart, limit) + 1);
    qsizetype done = 0;
    for (DWORD n = 1; n > 0 && done <= limit;) {
        if (done == result.data.size())
            result.data.resize(qMin<qint64>(qint64(done) * 2, limit + 1));
        const DWORD want = DWORD(qMin<qsizetype>(result.data.size() - done, 1 << 30));
        if (!ReadFile(file.get(), result.data.data() + done, want, &n, nullptr)) {
            result.error = lastError();
            result.status = S::Failed;
            result.data.clear();
            return result;
        }
        done += n;
    }
    result.data.truncate(done);
    result.size = qMax<qint64>(size.QuadPart, done);
    result.status = done > limit ? S::TooLarge : S::Read;
    return result;
}

namespace
{

// Writes content over the regular file at path in place (its attributes stay), flushed to
// disk; old back when that fails part way.
Replaced writeInPlace(const NativePath &path, QByteArrayView old, QByteArrayView content)
{
    Replaced result;
    const Handle file =
        own(CreateFileW(path.native().c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        result.status = Replaced::Status::Failed;
        result.error = lastError();
        return result;
    }
    const auto overwrite = [&file](QByteArrayView data) -> DWORD {
        if (!SetFilePointerEx(file.get(), LARGE_INTEGER{}, nullptr, FILE_BEGIN))
            return GetLastError();
        if (const DWORD error = writeAll(file.get(), data))
            return error;
        return SetEndOfFile(file.get()) && FlushFileBuffers(file.get()) ? 0 : GetLastError();
    };
    if (const DWORD error = overwrite(content)) {
        const DWORD restore = overwrite(old);
        result.error = SystemError::win32Code(error);
        result.restoreError = SystemError::win32Code(restore);
        result.status = restore ? Replaced::Status::Damaged : Replaced::Status::Failed;
        result.restored = !restore;
    }
    return result;
}

// Gives path the hidden and system attributes of attributes (read before it was replaced).
Replaced keepAttributes(const NativePath &path, DWORD attributes)
{
    Replaced result;
    const DWORD want = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    const DWORD now = want ? GetFileAttributesW(path.native().c_str()) : 0;
    if (now != INVALID_FILE_ATTRIBUTES && (now & want) == want)
        return result;
    if (now == INVALID_FILE_ATTRIBUTES || !SetFileAttributesW(path.native().c_str(), now | want)) {
        result.status = Replaced::Status::AttributesLost;
        result.error = lastError();
    }
    return result;
}

Replaced failed(const SystemError &error)
{
    Replaced result;
    result.status = Replaced::Status::Failed;
    result.error = error;
    return result;
}

} // namespace

Replaced replaceFile(const NativePath &path, QByteArrayView old, QByteArrayView content)
{
    const DWORD attributes = GetFileAttributesW(path.native().c_str());
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    Replaced result;
    if (existed && (attributes & FILE_ATTRIBUTE_READONLY)) {
        result.status = Replaced::Status::ReadOnly;
        return result;
    }
    std::wstring temp;
    Handle file = own(INVALID_HANDLE_VALUE);
    for (int attempt = 0; !file && attempt < 100; ++attempt) {
        temp = path.native() + L".tmp" + std::to_wstring(QRandomGenerator::global()->generate());
        file = own(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    if (!file && existed) // the folder is not ours to write; the file may be
        return writeInPlace(path, old, content);
    if (!file)
        return failed(lastError());
    DWORD error = writeAll(file.get(), content);
    if (!error && !FlushFileBuffers(file.get()))
        error = GetLastError();
    if (!CloseHandle(file.release()) && !error)
        error = GetLastError();
    if (!error && !MoveFileExW(temp.c_str(), path.native().c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (!error)
        return existed ? keepAttributes(path, attributes) : result;
    DeleteFileW(temp.c_str());
    if (existed && error == ERROR_ACCESS_DENIED) // a hidden or system file, or one in use
        return writeInPlace(path, old, content);
    return failed(SystemError::win32Code(error));
}

SystemError makeFolder(const NativePath &folder)
{
    if (!CreateDirectoryW(folder.native().c_str(), nullptr) &&
        GetLastError() != ERROR_ALREADY_EXISTS)
        return lastError();
    return {};
}

bool isFolderWritable(const NativePath &folder)
{
    // Access lists decide: a file of our own, removed again as it is closed.
    if (!look(folder).isDir)
        return false;
    const QString name =
        QStringLiteral("poronbo-%1.tmp").arg(QRandomGenerator::global()->generate());
    const std::optional<NativePath> probe =
        NativePath::from(QDir::toNativeSeparators(folder.path() + u'/' + name));
    return probe && own(CreateFileW(probe->native().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
}

QStringList installRoots()
{
    return {qEnvironmentVariable("ProgramFiles"), qEnvironmentVariable("ProgramFiles(x86)"),
            qEnvironmentVariable("ProgramW6432")};
}

QString configHome(const QString &qt)
{
    return qt;
}

std::unique_ptr<QIODevice> consoleDevice(FILE *file)
{
    const HANDLE handle = HANDLE(_get_osfhandle(_fileno(file)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode))
        return nullptr;
    return std::make_unique<ConsoleDevice>(handle);
}
