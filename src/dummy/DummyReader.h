#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <optional>

// What a dummy file says about its source.
struct DummyInfo {
    QString sourceName;  // restored from the dummy's own file name
    qint64 size = 0;     // the full size when the name carries it, else sizeLow
    quint32 sizeLow = 0; // the record's low 32 bits of the size
    QDateTime modified;  // the recorded local date and time, marked UTC as localWallClock does
    quint8 verMajor = 0;
    quint8 verMinor = 0;
    quint8 verRevision = 0;
    int prefixLen = 0;
    bool sizeFlag = false; // the name carries the size

    QString version() const;
    QString modifiedText() const; // "YYYY-MM-DD HH:MM:SS"
};

// Parses bytes strictly as the record of the dummy whose file name is name, and
// restores its source's name: with the size flag set, the bracketed size (digits with
// any one group separator; empty for 0) standing before the name's last "." or, when
// the name has no "." outside it, at its end is removed, its number agreeing with the
// record in the low 32 bits; then the prefix length's characters are removed from the
// front. A maker puts the size only there, so a name has at most one reading. Returns
// nothing, with reason naming the first field that fails, when bytes are not such a
// record or the name does not fit it.
std::optional<DummyInfo> parseDummy(QByteArrayView bytes, const QString &name, QString &reason);

// Reads the file at path as a dummy, as parseDummy. Only a regular file is read, and
// at most one byte more than a record; nothing else (a FIFO, a device) is waited on.
std::optional<DummyInfo> readDummy(const QString &path, QString &reason);
