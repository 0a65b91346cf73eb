#include "modMain.h"

#include "FileError.h"
#include "FileStat.h"
#include "version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <stdexcept>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace
{

void putText(QByteArray &out, const QByteArray &text, int width)
{
    const QByteArray cut = text.left(width);
    out.append(cut);
    out.append(width - cut.size(), ' ');
}

// A regular file (or a link to one) that is neither hidden nor a system file.
bool isVisibleFile(const QFileInfo &info)
{
    if (!info.isFile() || info.isHidden())
        return false;
#ifdef Q_OS_WIN
    const DWORD attributes =
        GetFileAttributesW(reinterpret_cast<const wchar_t *>(info.absoluteFilePath().utf16()));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_SYSTEM))
        return false;
#endif
    return true;
}

QString folderOf(const QString &path)
{
    const qsizetype cut = path.lastIndexOf(QDir::separator());
    const QString folder = cut < 0 ? QString() : path.left(cut);
    return folder.isEmpty() ? QDir::rootPath() : folder;
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
    h.TimeStamp = modified.toLocalTime().toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1();
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

    const QFileInfo source(SourcePath);
    if (SourcePath.isEmpty() || !isVisibleFile(source))
        return DummySourceMissing;
    if (!QFileInfo::exists(folderOf(DummyPath)))
        return DummyFolderMissing;
    if (isVisibleFile(QFileInfo(DummyPath)))
        return DummyExists;

    const FileStat meta = statFile(SourcePath);
    const QByteArray record =
        DummyHeader::make(meta.size, meta.modified, InitialLen, SizeAdd).toBytes();

    QFile dummy(DummyPath);
    if (!dummy.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        // Anything at the path (hidden file, folder, link, a file made meanwhile) is kept.
        const QFileInfo existing(DummyPath);
        if (existing.exists() || existing.isSymLink())
            return DummyExists;
        throw FileError(DummyPath, dummy.errorString());
    }
    bool written = dummy.write(record) == record.size() && dummy.flush();
    dummy.close();
    written = written && dummy.error() == QFileDevice::NoError;
    if (!written) {
        const QString reason = dummy.errorString();
        dummy.remove();
        throw FileError(DummyPath, reason);
    }
    return DummyMade;
}
