#include "FileSystem.h"

#include "PathCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace
{

// An open file descriptor, closed when it goes out of scope unless closed before.
class UnixFile
{
public:
    explicit UnixFile(int fd = -1) : m_fd(fd) {}
    ~UnixFile() { close(); }
    UnixFile(const UnixFile &) = delete;
    UnixFile &operator=(const UnixFile &) = delete;

    int fd() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    // Takes fd in place of the one held, which is closed.
    void reset(int fd)
    {
        close();
        m_fd = fd;
    }

    // Closes the file now: 0, or the errno of a close that failed (a delayed write error).
    int close()
    {
        if (m_fd < 0)
            return 0;
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0 ? 0 : errno;
    }

    // Writes all of data: 0, or the errno that stopped it (EIO when nothing was written).
    int writeAll(QByteArrayView data) const
    {
        for (qsizetype done = 0; done < data.size();) {
            const ssize_t n = ::write(m_fd, data.data() + done, size_t(data.size() - done));
            if (n > 0)
                done += n;
            else if (n == 0 || errno != EINTR)
                return n == 0 ? EIO : errno;
        }
        return 0;
    }

    // Reads into data from done on, to its end or the file's: how many in all, or -1.
    qsizetype readInto(QByteArray &data, qsizetype done) const
    {
        while (done < data.size()) {
            const ssize_t n = ::read(m_fd, data.data() + done, size_t(data.size() - done));
            if (n > 0)
                done += n;
            else if (n == 0)
                break;
            else if (errno != EINTR)
                return -1;
        }
        return done;
    }

private:
    int m_fd = -1;
};

SystemError lastErrno()
{
    return SystemError::errnoCode(errno);
}

FileStat statOf(const NativePath &path, const struct stat &st)
{
    FileStat result;
    const qsizetype slash = path.path().lastIndexOf(QLatin1Char('/'));
    result.exists = true;
    result.isFile = S_ISREG(st.st_mode);
    result.isDir = S_ISDIR(st.st_mode);
    result.isHidden =
        path.path().size() > slash + 1 && path.path().at(slash + 1) == QLatin1Char('.');
#ifdef UF_HIDDEN
    result.isHidden = result.isHidden || (st.st_flags & UF_HIDDEN);
#endif
    result.size = qint64(st.st_size);
    // Any time_t without overflow: one beyond what msecs hold (about 292 million years)
    // is kept as the end of the range it passed.
    constexpr qint64 most = std::numeric_limits<qint64>::max() / 1000;
    const qint64 secs = qint64(st.st_mtime);
    result.modifiedMSecs = secs > most    ? std::numeric_limits<qint64>::max()
                           : secs < -most ? std::numeric_limits<qint64>::min()
                                          : secs * 1000;
    return result;
}

FileStat look(const NativePath &path, bool follow)
{
    struct stat st;
    const char *name = path.native().constData();
    if ((follow ? ::stat(name, &st) : ::lstat(name, &st)) != 0) {
        FileStat result;
        result.error = lastErrno();
        return result;
    }
    return statOf(path, st);
}

} // namespace

SystemError SystemError::last()
{
    return errnoCode(errno);
}

QString SystemError::text() const
{
    if (m_kind == Kind::Win32)
        return QStringLiteral("Windows error %1").arg(m_code);
    return qt_error_string(int(m_code));
}

bool SystemError::isNotFound() const
{
    return m_kind == Kind::Errno && (m_code == ENOENT || m_code == ENOTDIR);
}

bool SystemError::isAccessDenied() const
{
    return m_kind == Kind::Errno && (m_code == EACCES || m_code == EPERM);
}

SystemError refusedPathError(bool empty)
{
    return SystemError::errnoCode(empty ? ENOENT : EINVAL);
}

std::optional<NativePath> NativePath::from(const QString &path)
{
    std::optional<QByteArray> bytes = systemPath(path);
    if (!bytes)
        return std::nullopt;
    return NativePath(path, std::move(*bytes));
}

FileStat lookAtEntry(const NativePath &path)
{
    return look(path, false);
}

FileStat lookAtFile(const NativePath &path)
{
    return look(path, true);
}

NewFile createNewFile(const NativePath &path, QByteArrayView content, SystemError &error)
{
    const char *name = path.native().constData();
    UnixFile file(::open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!file.isOpen()) {
        error = lastErrno();
        return NewFile::NotCreated;
    }
    int code = file.writeAll(content);
    if (const int closed = file.close(); closed && !code)
        code = closed;
    if (!code)
        return NewFile::Created;
    error = SystemError::errnoCode(code);
    ::unlink(name);
    return NewFile::NotWritten;
}

FileRead readRegularFile(const NativePath &path, qint64 limit, bool followLinks)
{
    using S = FileRead::Status;
    FileRead result;
    const char *name = path.native().constData();
    // A look first, so that nothing but a regular file is ever opened.
    const FileStat before = look(path, followLinks);
    if (!before.exists || !before.isFile) {
        const bool dangling = before.error.isNotFound() && followLinks && lookAtEntry(path).exists;
        result.status = before.exists || dangling                        ? S::NotRegular
                        : before.error == SystemError::errnoCode(ENOENT) ? S::Missing
                                                                         : S::Failed;
        result.error = before.error;
        return result;
    }
    const int nofollow = followLinks ? 0 : O_NOFOLLOW;
    const UnixFile file(::open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | nofollow));
    struct stat st;
    if (!file.isOpen() || ::fstat(file.fd(), &st) != 0) {
        result.error = lastErrno();
        result.status = result.error == SystemError::errnoCode(ELOOP) ? S::NotRegular : S::Failed;
        return result;
    }
    if (!S_ISREG(st.st_mode)) { // replaced since the look
        result.status = S::NotRegular;
        return result;
    }
    // Read to the end, or to one byte past the limit for a file that grows meanwhile.
    result.data.resize(qMin<qint64>(st.st_size, limit) + 1);
    qsizetype done = 0;
    while ((done = file.readInto(result.data, done)) == result.data.size() && done <= limit)
        result.data.resize(qMin<qint64>(qint64(done) * 2, limit + 1));
    if (done < 0) {
        result.error = lastErrno();
        result.data.clear();
        return result;
    }
    result.data.truncate(done);
    result.size = qMax<qint64>(st.st_size, done);
    result.status = done > limit ? S::TooLarge : S::Read;
    return result;
}

namespace
{

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

// Gives the open file fd the owner, group and mode in old and the extended attributes
// (the ACL among them) of the file at from: 0, or the errno of the first not set.
int keepAttributes(const char *from, const struct stat &old, int fd)
{
    // The owner first: a change of owner clears the set-user-ID and set-group-ID bits.
    if (::fchown(fd, old.st_uid, old.st_gid) != 0 || ::fchmod(fd, old.st_mode & 07777) != 0)
        return errno;
    return copyXattrs(from, fd);
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

// Writes content over the regular file at target in place (its attributes stay); old back
// when that fails part way.
Replaced writeInPlace(const QByteArray &target, QByteArrayView old, QByteArrayView content)
{
    Replaced result;
    const UnixFile file(::open(target.constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat st;
    result.status = Replaced::Status::Failed;
    if (!file.isOpen() || ::fstat(file.fd(), &st) != 0) {
        result.error = lastErrno();
        return result;
    }
    if (!S_ISREG(st.st_mode)) {
        result.error = SystemError::errnoCode(EINVAL);
        return result;
    }
    result.status = Replaced::Status::Done;
    if (const int error = overwrite(file, content)) {
        result.error = SystemError::errnoCode(error);
        const int restore = overwrite(file, old);
        result.restoreError = SystemError::errnoCode(restore);
        result.status = restore ? Replaced::Status::Damaged : Replaced::Status::Failed;
        result.restored = !restore;
    }
    return result;
}

// A new file beside target with a name of its own, created new: its name, or empty.
QByteArray createTemporary(const QByteArray &target, UnixFile &file, int &error)
{
    QByteArray temp;
    for (int attempt = 0; !file.isOpen() && attempt < 100; ++attempt) {
        temp = target + ".tmp" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        file.reset(::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        error = file.isOpen() ? 0 : errno;
        if (error != EEXIST)
            break;
    }
    return temp;
}

} // namespace

Replaced replaceFile(const NativePath &path, QByteArrayView old, QByteArrayView content)
{
    Replaced result;
    QByteArray target = path.native();
    // Through a link, the file it points to is replaced, as an editor would do.
    if (char *real = ::realpath(target.constData(), nullptr)) {
        target = real;
        std::free(real);
    }
    struct stat st;
    const bool existed = ::stat(target.constData(), &st) == 0;
    if (existed &&
        ((st.st_mode & 0222) == 0 ||
         (::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0 && errno == EACCES))) {
        result.status = Replaced::Status::ReadOnly;
        return result;
    }
    UnixFile file;
    int error = 0;
    const QByteArray temp = createTemporary(target, file, error);
    if (existed && (error == EACCES || error == EPERM))
        return writeInPlace(target, old, content); // the folder is not ours to write, the file is
    if (error) {
        result.status = Replaced::Status::Failed;
        result.error = SystemError::errnoCode(error);
        return result;
    }
    error = file.writeAll(content);
    if (!error && existed && keepAttributes(target.constData(), st, file.fd()) != 0) {
        file.close();
        ::unlink(temp.constData());
        return writeInPlace(target, old, content);
    }
    if (!error && ::fsync(file.fd()) != 0)
        error = errno;
    if (const int closed = file.close(); closed && !error)
        error = closed;
    if (!error && ::rename(temp.constData(), target.constData()) != 0)
        error = errno;
    if (error) {
        ::unlink(temp.constData());
        result.status = Replaced::Status::Failed;
        result.error = SystemError::errnoCode(error);
    }
    return result;
}

SystemError makeFolder(const NativePath &folder)
{
    if (::mkdir(folder.native().constData(), 0777) != 0 && errno != EEXIST)
        return lastErrno();
    return {};
}

bool isFolderWritable(const NativePath &folder)
{
    // Permissions of the effective user, a read-only mount included; nothing is written.
    return lookAtFile(folder).isDir &&
           ::faccessat(AT_FDCWD, folder.native().constData(), W_OK | X_OK, AT_EACCESS) == 0;
}

QStringList installRoots()
{
    return {QStringLiteral("/usr"),  QStringLiteral("/opt"),  QStringLiteral("/bin"),
            QStringLiteral("/sbin"), QStringLiteral("/snap"), QStringLiteral("/nix/store"),
            QStringLiteral("/app")};
}

QString configHome(const QString &qt)
{
#ifdef Q_OS_MACOS
    return qt;
#else
    const QByteArray config = qgetenv("XDG_CONFIG_HOME"), home = qgetenv("HOME");
    const QString generic = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (!qt.startsWith(generic))
        return qt;
    QString folder = decodePath(config);
    if (!folder.startsWith(QLatin1Char('/'))) {
        if (home.isEmpty())
            return qt;
        folder = decodePath(home) + QStringLiteral("/.config");
    }
    return QDir::cleanPath(folder) + qt.sliced(generic.size());
#endif
}

std::unique_ptr<QIODevice> consoleDevice(FILE *)
{
    return nullptr;
}
