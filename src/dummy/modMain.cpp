#include "modMain.h"

#include "fs/FileSystem.h"
#include "version.h"

#include <QDir>
#include <QTimeZone>
#include <cstring>
#include <stdexcept>

namespace
{

// Writes text at offset of out, cut at width; out is space-filled beforehand.
void putText(QByteArray &out, qsizetype offset, const QByteArray &text, qsizetype width)
{
    std::memcpy(out.data() + offset, text.constData(), size_t(qMin(text.size(), width)));
}

// value as digits decimal digits, leading zeros kept.
void putDigits(char *out, int value, int digits)
{
    for (int i = digits - 1; i >= 0; --i, value /= 10)
        out[i] = char('0' + value % 10);
}

QString folderOf(const QString &path)
{
    const qsizetype cut = path.lastIndexOf(QDir::separator());
    const QString folder = cut < 0 ? QString() : path.left(cut);
    return folder.isEmpty() ? QDir::rootPath() : folder;
}

// Whether the entry at path is a regular file holding exactly record: only read, never
// followed through a link, and opened without waiting on a FIFO or device.
bool holdsRecord(const NativePath &path, const QByteArray &record)
{
    const FileRead read = readRegularFile(path, record.size(), false);
    return read.status == FileRead::Status::Read && read.data == record;
}

} // namespace

DummyHeader DummyHeader::make(qint64 sourceSize, const QDateTime &modified, quint8 prefixLen,
                              bool sizeAdd)
{
    DummyHeader h;
    h.VerMajor = PORONBO_VERSION_MAJOR;
    h.VerMinor = PORONBO_VERSION_MINOR;
    h.VerRevision = PORONBO_VERSION_PATCH;
    char hex[8];
    quint32 low = quint32(quint64(sourceSize) & 0xFFFFFFFFu);
    for (int i = 7; i >= 0; --i, low >>= 4)
        hex[i] = "0123456789ABCDEF"[low & 0xF];
    h.SizeHex = QByteArray(hex, 8);
    const QDateTime held = recordedTime(modified);
    const QDate d = held.date();
    const QTime t = held.time();
    char stamp[14];
    putDigits(stamp, d.year(), 4);
    putDigits(stamp + 4, d.month(), 2);
    putDigits(stamp + 6, d.day(), 2);
    putDigits(stamp + 8, t.hour(), 2);
    putDigits(stamp + 10, t.minute(), 2);
    putDigits(stamp + 12, t.second(), 2);
    h.TimeStamp = QByteArray(stamp, 14);
    h.PrefixLen = prefixLen;
    h.SizeFlag = sizeAdd ? 1 : 0;
    return h;
}

QDateTime DummyHeader::recordedTime(const QDateTime &modified)
{
    const bool early = !modified.isValid() || modified.date().year() < 1;
    const bool late = !early && modified.date().year() > 9999;
    const QDate d = early ? QDate(1, 1, 1) : late ? QDate(9999, 12, 31) : modified.date();
    const QTime t = early ? QTime(0, 0) : late ? QTime(23, 59, 59) : modified.time();
    return QDateTime(d, QTime(t.hour(), t.minute(), t.second()), QTimeZone::utc());
}

QByteArray DummyHeader::toBytes() const
{
    QByteArray out(Size, ' ');
    const auto text = [&out](Field field, const QByteArray &value) {
        putText(out, offsetOf(field), value, widthOf(field));
    };
    const auto byte = [&out](Field field, quint8 value) { out[offsetOf(field)] = char(value); };
    text(Field::Signature, Signature);
    byte(Field::Reserved0, Reserved0);
    byte(Field::VerMajor, VerMajor);
    byte(Field::VerMinor, VerMinor);
    byte(Field::VerRevision, VerRevision);
    text(Field::SizeHex, SizeHex);
    text(Field::Reserved1, Reserved1);
    text(Field::TimeStamp, TimeStamp);
    byte(Field::PrefixLen, PrefixLen);
    byte(Field::SizeFlag, SizeFlag);
    text(Field::Reserved2, Reserved2);
    return out;
}

qint16 MakeDummy(const QString &SourcePath, const QString &DummyPath, int InitialLen, bool SizeAdd,
                 const std::optional<ListedSource> &listed, DummyRefusal *refusal)
{
    // The intake refuses longer prefixes; a length out of range here is a caller's fault.
    if (InitialLen < 0 || InitialLen > MaxPrefixLength)
        throw std::invalid_argument("prefix length out of range 0..255");

    const auto refuse = [refusal](DummyRefusal why, qint16 result) {
        if (refusal)
            *refusal = why;
        return result;
    };
    refuse(DummyRefusal::None, DummyMade);
    // One look at the source serves the test and the record.
    const FileStat source = probeFile(SourcePath);
    if (!source.isFile || source.isHidden) {
        return refuse(source.error.isAccessDenied() ? DummyRefusal::SourceInaccessible
                      : !source.exists              ? DummyRefusal::SourceMissing
                      : !source.isFile              ? DummyRefusal::SourceNotFile
                                                    : DummyRefusal::SourceHidden,
                      DummySourceMissing);
    }
    if (listed && (listed->size != source.size || listed->modifiedMSecs != source.modifiedMSecs))
        return refuse(DummyRefusal::SourceChanged, DummySourceChanged);
    // A NUL would end the name early and put the dummy elsewhere: no folder takes it.
    const std::optional<NativePath> dummy = NativePath::from(DummyPath);
    if (!dummy)
        return refuse(DummyRefusal::FolderMissing, DummyFolderMissing);
    const QByteArray record = DummyHeader::make(source.size, localWallClock(source.modifiedMSecs),
                                                quint8(InitialLen), SizeAdd)
                                  .toBytes();

    // The create-new answers the folder and existence tests; when it fails, what is
    // there tells which. Whatever is at the path (a file, a hidden file, a folder, a
    // link, a file made meanwhile) is kept.
    SystemError error;
    const NewFile made = createNewFile(*dummy, record, error);
    if (made == NewFile::Created)
        return DummyMade;
    if (made == NewFile::NotCreated) {
        const FileStat entry = lookAtEntry(*dummy);
        if (entry.exists) {
            return refuse(holdsRecord(*dummy, record) ? DummyRefusal::AlreadyMade
                                                      : DummyRefusal::Exists,
                          DummyExists);
        }
        // A folder on the way that this user may not search.
        if (entry.error.isAccessDenied())
            return refuse(DummyRefusal::FolderInaccessible, DummyFolderMissing);
        const FileStat folder = probeFile(folderOf(DummyPath));
        if (!folder.exists)
            return refuse(DummyRefusal::FolderMissing, DummyFolderMissing);
        if (!folder.isDir)
            return refuse(DummyRefusal::FolderNotFolder, DummyFolderMissing);
    }
    throw FileError(DummyPath, error);
}
