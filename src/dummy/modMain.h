#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <array>
#include <optional>

// The whole content of a dummy file: one fixed 40-byte record.
struct DummyHeader {
    static constexpr int Size = 40;

    QByteArray Signature = QByteArrayLiteral("*PBX"); // 4 characters
    quint8 Reserved0 = 0;
    quint8 VerMajor = 0;
    quint8 VerMinor = 0;
    quint8 VerRevision = 0;
    QByteArray SizeHex; // 8 uppercase hex digits, low 32 bits of the size
    QByteArray Reserved1 = QByteArrayLiteral("    "); // 4 characters
    QByteArray TimeStamp;                             // "YYYYMMDDHHNNSS", local time
    quint8 PrefixLen = 0; // characters of prefix in front of the dummy's name
    quint8 SizeFlag = 0;  // 1 when the source size was put into the name
    QByteArray Reserved2 = QByteArrayLiteral("    "); // 4 characters

    // The fields in record order, and where each lies in the record.
    enum class Field {
        Signature,
        Reserved0,
        VerMajor,
        VerMinor,
        VerRevision,
        SizeHex,
        Reserved1,
        TimeStamp,
        PrefixLen,
        SizeFlag,
        Reserved2,
        End
    };
    static constexpr std::array<int, int(Field::End)> Widths{4, 1, 1, 1, 1, 8, 4, 14, 1, 1, 4};
    static constexpr int widthOf(Field field) { return Widths[size_t(field)]; }
    static constexpr int offsetOf(Field field)
    {
        int offset = 0;
        for (int f = 0; f < int(field); ++f)
            offset += Widths[size_t(f)];
        return offset;
    }

    // A record for a source of sourceSize bytes last modified at the local date and
    // time modified, written by this build's version.
    static DummyHeader make(qint64 sourceSize, const QDateTime &modified, quint8 prefixLen,
                            bool sizeAdd);

    // The local date and time modified as TimeStamp keeps it, marked UTC: the years 1 to
    // 9999 hold, a time before them (or none) is held to the first second, one after them
    // to the last.
    static QDateTime recordedTime(const QDateTime &modified);

    // Exactly Size bytes: text fields space-padded and cut at their width.
    QByteArray toBytes() const;
};
static_assert(DummyHeader::offsetOf(DummyHeader::Field::End) == DummyHeader::Size);

// The longest prefix a dummy can record: the record keeps its length in one byte.
constexpr int MaxPrefixLength = 255;

// Results of MakeDummy.
enum : qint16 {
    DummyMade = 0,
    DummySourceMissing = -1,
    DummyFolderMissing = -2,
    DummyExists = -3,
    DummySourceChanged = -4,
};

// Why MakeDummy refused, in more detail than its result.
enum class DummyRefusal : quint8 {
    None,
    SourceMissing,      // -1
    SourceNotFile,      // -1: a folder, FIFO, device or socket
    SourceHidden,       // -1
    FolderMissing,      // -2
    FolderNotFolder,    // -2: something else has the folder's name
    Exists,             // -3
    AlreadyMade,        // -3: what is there is the very record this make would write
    SourceChanged,      // -4
    SourceInaccessible, // -1: it may exist, but this user may not look at it
    FolderInaccessible, // -2: likewise the folder
};

// The source's size and modified time (FileStat's) as the make list shows them.
struct ListedSource {
    qint64 size = 0;
    qint64 modifiedMSecs = 0;
};

// Writes the dummy for SourcePath as a new file at DummyPath.
//
// Returns 0 when written, -1 when SourcePath is not a visible regular file (or cannot be
// looked at), -2 when nothing exists at DummyPath's folder (or it cannot be looked at), -3 when
// something already exists at DummyPath, -4 when listed is given and the source's size or modified
// time is no longer the one listed (the record is made from that same look at the source). refusal,
// when given, is told why (None when written); for -3 it is AlreadyMade when the file there holds
// exactly the record this call would write. Nothing existing is ever opened for writing. InitialLen
// is the prefix length the dummy was named with (0..MaxPrefixLength, else std::invalid_argument)
// and SizeAdd whether its name carries the size. Any other failure throws FileError and leaves no
// file behind. The source is never opened.
qint16 MakeDummy(const QString &SourcePath, const QString &DummyPath, int InitialLen, bool SizeAdd,
                 const std::optional<ListedSource> &listed = {}, DummyRefusal *refusal = nullptr);
