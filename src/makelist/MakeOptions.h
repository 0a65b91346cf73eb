#pragma once

#include <QString>

class ClsIni;

// The size-in-name check box's states, numbered as the settings file keeps them.
// Greyed names no size, as Off does.
enum class SizeCheckState { Off = 0, On = 1, Greyed = 2 };

constexpr Qt::CheckState toCheckState(SizeCheckState state)
{
    return state == SizeCheckState::On       ? Qt::Checked
           : state == SizeCheckState::Greyed ? Qt::PartiallyChecked
                                             : Qt::Unchecked;
}

constexpr SizeCheckState toSizeCheckState(Qt::CheckState state)
{
    return state == Qt::Checked            ? SizeCheckState::On
           : state == Qt::PartiallyChecked ? SizeCheckState::Greyed
                                           : SizeCheckState::Off;
}

// The four options the user sets in the window and the settings file keeps.
struct MakeOptions {
    bool SameFolder = true; // dummies beside their sources, else all in OutPath
    QString OutPath;
    QString Initial; // name prefix; empty means the default prefix
    SizeCheckState SizeCheck = SizeCheckState::Off;
};

MakeOptions LoadOptions(const ClsIni &ini);

// Writes the four options at once, or none; false with the reason in ini.LastError().
bool SaveOptions(ClsIni &ini, const MakeOptions &options);
