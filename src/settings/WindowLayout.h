#pragma once

#include <array>

class ClsIni;

// The window's client size and its list's column widths, in twips, as the settings
// file keeps them in a section of their own; 0 where nothing (or nothing usable) is
// stored.
struct WindowLayout {
    int Width = 0;
    int Height = 0;
    std::array<int, 6> Columns{}; // in the order of MakeColumns
    bool operator==(const WindowLayout &) const = default;
};

WindowLayout LoadWindowLayout(const ClsIni &ini);

// Writes the whole layout at once, or nothing; false with the reason in ini.LastError().
bool SaveWindowLayout(ClsIni &ini, const WindowLayout &layout);
