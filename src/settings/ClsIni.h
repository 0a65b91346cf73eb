#pragma once

#include <QString>

// Reader and writer of a private-profile ("INI") settings file.
//
// Text is in the system code page. Sections and keys match ignoring letter case;
// a write changes only the value of one key line and keeps every other byte.
class ClsIni
{
public:
    // Full path of the settings file; empty until set.
    QString IniName;

    // The value of wkKey in section wkSection, or wkDefault when the file,
    // section or key is missing.
    QString GetIni(const QString &wkSection, const QString &wkKey, const QString &wkDefault) const;

    // Writes wkStr as the value of wkKey in wkSection, creating the file, section
    // or key as needed. Returns false, with the reason in LastError(), when the
    // file could not be written; the existing file is then left as it was.
    bool PutIni(const QString &wkSection, const QString &wkKey, const QString &wkStr);

    // The system's reason for the last failed PutIni.
    const QString &LastError() const { return m_lastError; }

private:
    QString m_lastError;
};
