#pragma once

#include <QList>
#include <QPair>
#include <QString>

// Reader and writer of a private-profile ("INI") settings file.
//
// Text is in the system code page (on Unix UTF-8, bytes that are not UTF-8 kept as the
// path codec keeps them), in UTF-8 or in UTF-16 LE, as the file's byte-order mark says; a
// new file is in the code page. Sections and keys match ignoring letter case; a write
// changes only the values that differ and keeps every other byte. Only a regular file of
// at most 16 MiB is read or replaced; anything else at IniName reads as missing. A file
// that could not be read once is never replaced by this object.
class ClsIni
{
public:
    // Full path of the settings file; empty until set.
    QString IniName;

    // The value of wkKey in section wkSection, or wkDefault when the file,
    // section or key is missing or the file cannot be read. Surrounding blanks and one pair
    // of surrounding quotes are taken off; the value ends at its first NUL. A byte that is
    // no part of a character in the file's encoding comes back as U+DC00 + byte.
    QString GetIni(const QString &wkSection, const QString &wkKey, const QString &wkDefault) const;

    // Writes wkStr as the value of wkKey in wkSection, creating the file, section
    // or key as needed, so that GetIni gives back exactly wkStr. Returns false, with
    // the reason in LastError(), when the value cannot be stored (a line break, a NUL)
    // or the file could not be written; the existing file is then left byte for byte.
    bool PutIni(const QString &wkSection, const QString &wkKey, const QString &wkStr);

    // Writes every key and value of wkValues into wkSection at once: one read and one
    // replacement of the file, so that all are written or none.
    bool PutIni(const QString &wkSection, const QList<QPair<QString, QString>> &wkValues);

    // Why the last PutIni failed.
    const QString &LastError() const { return m_lastError; }

    // Why the file could not be read, by GetIni or PutIni, the first time that happened;
    // empty while it could. From then on PutIni writes nothing and gives this reason.
    const QString &ReadError() const { return m_readError; }

private:
    QString m_lastError;
    mutable QString m_readError;
};
