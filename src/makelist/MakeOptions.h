#pragma once

#include <QString>

class ClsIni;

// The four options the user sets in the window and the settings file keeps.
struct MakeOptions {
    bool SameFolder = true; // dummies beside their sources, else all in OutPath
    QString OutPath;
    QString Initial;   // name prefix; empty means the default prefix
    int SizeCheck = 0; // size-in-name check state: 0 off, 1 on, 2 indeterminate (off)
};

MakeOptions LoadOptions(const ClsIni &ini);

// Writes the four options at once, or none; false with the reason in ini.LastError().
bool SaveOptions(ClsIni &ini, const MakeOptions &options);

// Drops surrounding spaces (only spaces).
QString TrimSpaces(const QString &text);
