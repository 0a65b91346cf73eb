#include "settings/FileWrite.h"

#include "fs/FileError.h"
#include "fs/PathCodec.h"
#include "fs/UnixFile.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <memory>
#include <optional>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace
{

QString restoredNote()
{
    return QCoreApplication::translate("ClsIni", "（元の内容に戻しました。）");
}
QString damagedNote(const QString &reason)
{
    return QCoreApplication::translate("ClsIni", "（元の内容に戻せませんでした: %1）").arg(reason);
}

#ifdef Q_OS_UNIX
// What a call of the listxattr kind fills in; nothing, with errno set, when it fails.
template <class Call> std::optional<QByteArray> sized(Call call)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t size = call(nullptr, 0);
        if (size < 0)
            return std::nullopt;
        QByteArray out(size, Qt::Uninitialized);
        const ssize_t got = call(out.data(), size_t(size));
        if (got >= 0)
            return out.first(got);
        if (errno != ERANGE)
            return std::nullopt;
    }
    return std::nullopt; // errno is ERANGE: the list keeps growing
}

// Copies the extended attributes of the file at from to fd, leaving those it has already.
int copyXattrs(const char *from, int fd)
{
    const auto names = sized([&](char *b, size_t s) { return ::listxattr(from, b, s); });
    if (!names)
        return errno == ENOTSUP ? 0 : errno;
    for (const QByteArray &name : names->split('\0')) {
        if (name.isEmpty())
            continue;
        const auto value =
            sized([&](char *b, size_t s) { return ::getxattr(from, name.constData(), b, s); });
        if (!value && errno == ENODATA)
            continue; // removed meanwhile
        if (!value)
            return errno;
        const auto has =
            sized([&](char *b, size_t s) { return ::fgetxattr(fd, name.constData(), b, s); });
        if ((!has || *has != *value) &&
            ::fsetxattr(fd, name.constData(), value->constData(), size_t(value->size()), 0) != 0)
            return errno;
    }
    return 0;
}

// Writes data at the start of file, cuts the file there and flushes it: 0 or the errno.
int overwrite(const UnixFile &file, QByteArrayView data)
{
    if (::lseek(file.fd(), 0, SEEK_SET) != 0)
        return errno;
    if (const int error = file.writeAll(data))
        return error;
    if (::ftruncate(file.fd(), off_t(data.size())) != 0)
        return errno;
    return ::fsync(file.fd()) == 0 ? 0 : errno;
}
#endif

} // namespace

#ifdef Q_OS_UNIX
int keepAttributes(const char *from, const struct stat &old, int fd)
{
    // The owner first: a change of owner clears the set-user-ID and set-group-ID bits.
    if (::fchown(fd, old.st_uid, old.st_gid) != 0 || ::fchmod(fd, old.st_mode & 07777) != 0)
        return errno;
    return copyXattrs(from, fd);
}

QString writeInPlace(const QString &path, QByteArrayView old, QByteArrayView content)
{
    const std::optional<QByteArray> name = systemPath(path);
    if (!name)
        return refusedPathReason();
    const UnixFile file(::open(name->constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat st;
    if (!file.isOpen() || ::fstat(file.fd(), &st) != 0)
        return systemReason(errno);
    if (!S_ISREG(st.st_mode))
        return systemReason(EINVAL);
    const int error = overwrite(file, content);
    if (!error)
        return {};
    const int restore = overwrite(file, old);
    return systemReason(error) + (restore ? damagedNote(systemReason(restore)) : restoredNote());
}
#endif

#ifdef Q_OS_WIN
QString keepAttributes(const QString &path, unsigned long attributes)
{
    const DWORD want = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    const QString native = QDir::toNativeSeparators(path);
    const auto name = reinterpret_cast<const wchar_t *>(native.utf16());
    const DWORD now = want ? GetFileAttributesW(name) : 0;
    if (now != INVALID_FILE_ATTRIBUTES && (now & want) == want)
        return {};
    if (now == INVALID_FILE_ATTRIBUTES || !SetFileAttributesW(name, now | want))
        return QCoreApplication::translate(
                   "ClsIni", "保存しましたが、隠し属性・システム属性を戻せませんでした: %1")
            .arg(systemReason(int(GetLastError())));
    return {};
}

QString writeInPlace(const QString &path, QByteArrayView old, QByteArrayView content)
{
    const QString native = QDir::toNativeSeparators(path);
    const HANDLE file =
        CreateFileW(reinterpret_cast<const wchar_t *>(native.utf16()), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return systemReason(int(GetLastError()));
    const std::unique_ptr<void, decltype(&CloseHandle)> closing(file, &CloseHandle);
    const auto overwrite = [file](QByteArrayView data) -> DWORD {
        if (!SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_BEGIN))
            return GetLastError();
        for (qsizetype done = 0; done < data.size();) {
            DWORD n = 0;
            const DWORD size = DWORD(qMin<qsizetype>(data.size() - done, 1 << 30));
            if (!WriteFile(file, data.data() + done, size, &n, nullptr))
                return GetLastError();
            if (n == 0)
                return ERROR_WRITE_FAULT;
            done += n;
        }
        return SetEndOfFile(file) && FlushFileBuffers(file) ? 0 : GetLastError();
    };
    const DWORD error = overwrite(content);
    const DWORD restore = error ? overwrite(old) : 0;
    if (!error)
        return {};
    return systemReason(int(error)) +
           (restore ? damagedNote(systemReason(int(restore))) : restoredNote());
}
#endif
