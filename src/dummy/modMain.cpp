#include "modMain.h"

#include "FileError.h"
#include "FileStat.h"
#include "version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <stdexcept>

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
    const QDateTime local = modified.toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
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
    if (!probeFile(folderOf(DummyPath)).exists)
        return DummyFolderMissing;
    // A visible file at DummyPath, or anything else there, fails the create-new below.
    const QByteArray record =
        DummyHeader::make(source.size, source.modified(), InitialLen, SizeAdd).toBytes();

    QFile dummy(DummyPath);
    if (!dummy.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        // Anything at the path (hidden file, folder, link, a file made meanwhile) is kept.
        const QFileInfo existing(DummyPath);
        if (existing.exists() || existing.isSymLink())
            return DummyExists;
        throw FileError(DummyPath, dummy.errorString());
    }
    bool written = dummy.write(record) == record.size();
    dummy.close();
    written = written && dummy.error() == QFileDevice::NoError;
    if (!written) {
        const QString reason = dummy.errorString();
        dummy.remove();
        throw FileError(DummyPath, reason);
    }
    return DummyMade;
}
