#include "modMain.h"

#include "FileError.h"
#include "FileStat.h"
#include "version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <stdexcept>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace
{

void putText(QByteArray &out, const QByteArray &text, int width)
{
    const QByteArray cut = text.left(width);
    out.append(cut);
    out.append(width - cut.size(), ' ');
}

QString folderOf(const QString &path)
{
    const qsizetype cut = path.lastIndexOf(QDir::separator());
    const QString folder = cut < 0 ? QString() : path.left(cut);
    return folder.isEmpty() ? QDir::rootPath() : folder;
}

enum class NewFile { Created, NotCreated, NotWritten };

// Creates path as a new file holding content; never opens anything that exists. A
// file it created but could not fill is removed again. reason tells why it failed.
NewFile createNewFile(const QString &path, const QByteArray &content, QString &reason)
{
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        reason = systemReason(errno);
        return NewFile::NotCreated;
    }
    int error = 0;
    for (qsizetype done = 0; done < content.size() && !error;) {
        const ssize_t n = ::write(fd, content.constData() + done, size_t(content.size() - done));
        if (n > 0)
            done += n;
        else if (n == 0 || errno != EINTR)
            error = n == 0 ? EIO : errno;
    }
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error)
        return NewFile::Created;
    reason = systemReason(error);
    ::unlink(name.constData());
    return NewFile::NotWritten;
#else
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        reason = file.errorString();
        return NewFile::NotCreated;
    }
    bool written = file.write(content) == content.size();
    file.close();
    if (written && file.error() == QFileDevice::NoError)
        return NewFile::Created;
    reason = file.errorString();
    file.remove();
    return NewFile::NotWritten;
#endif
}

// Anything at path, a dangling link included.
bool isOccupied(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

DummyHeader DummyHeader::make(qint64 sourceSize, const QDateTime &modified, int prefixLen,
                              bool sizeAdd)
{
    if (prefixLen < 0 || prefixLen > 255)
        throw std::invalid_argument("prefix length out of range 0..255");
    DummyHeader h;
    h.VerMajor = PORONBO_VERSION_MAJOR;
    h.VerMinor = PORONBO_VERSION_MINOR;
    h.VerRevision = PORONBO_VERSION_PATCH;
    h.SizeHex = QByteArray::number(quint32(quint64(sourceSize) & 0xFFFFFFFFu), 16)
                    .toUpper()
                    .rightJustified(8, '0');
    const QDate d = modified.date();
    const QTime t = modified.time();
    h.TimeStamp = QByteArray::number(d.year()).rightJustified(4, '0');
    for (const int field : {d.month(), d.day(), t.hour(), t.minute(), t.second()}) {
        h.TimeStamp += char('0' + field / 10);
        h.TimeStamp += char('0' + field % 10);
    }
    h.PrefixLen = quint8(prefixLen);
    h.SizeFlag = sizeAdd ? 1 : 0;
    return h;
}

QByteArray DummyHeader::toBytes() const
{
    QByteArray out;
    out.reserve(Size);
    putText(out, Signature, 4);
    out.append(char(Reserved0));
    out.append(char(VerMajor));
    out.append(char(VerMinor));
    out.append(char(VerRevision));
    putText(out, SizeHex, 8);
    putText(out, Reserved1, 4);
    putText(out, TimeStamp, 14);
    out.append(char(PrefixLen));
    out.append(char(SizeFlag));
    putText(out, Reserved2, 4);
    Q_ASSERT(out.size() == Size);
    return out;
}

qint16 MakeDummy(const QString &SourcePath, const QString &DummyPath, int InitialLen, bool SizeAdd)
{
    if (InitialLen < 0 || InitialLen > 255)
        throw std::invalid_argument("prefix length out of range 0..255");

    // One look at the source serves the test and the record.
    const FileStat source = probeFile(SourcePath);
    if (!source.isFile || source.isHidden)
        return DummySourceMissing;
    const QByteArray record =
        DummyHeader::make(source.size, localWallClock(source.modifiedMSecs), InitialLen, SizeAdd)
            .toBytes();

    // The create-new answers the folder and existence tests; when it fails, what is
    // there tells which. Whatever is at the path (a file, a hidden file, a folder, a
    // link, a file made meanwhile) is kept.
    QString reason;
    switch (createNewFile(DummyPath, record, reason)) {
    case NewFile::Created:
        return DummyMade;
    case NewFile::NotCreated:
        if (isOccupied(DummyPath))
            return DummyExists;
        if (!probeFile(folderOf(DummyPath)).exists)
            return DummyFolderMissing;
        break;
    case NewFile::NotWritten:
        break;
    }
    throw FileError(DummyPath, reason);
}
