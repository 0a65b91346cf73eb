#pragma once

#include <QString>
#include <array>

// One row of the make list.
struct MakeItem {
    static constexpr int SubItemCount = 5;

    QString Key;  // FILE_PATH + separator + FILE_NAME, unique in the list
    QString Text; // STATUS: empty, or the mark of the last make
    std::array<QString, SubItemCount> SubItems; // FILE_PATH, FILE_NAME, SIZE, EXT, TIMESTUMP
    QString Tag;                                // the source path
    bool Selected = false;
    int InitialLen = 0;   // prefix length the dummy's name was made with
    bool SizeAdd = false; // whether the name carries the source size
};

// Sub-item numbers (1-based, as shown in columns 2 to 6).
enum MakeSubItem { SubFilePath = 1, SubFileName, SubSize, SubExt, SubTimeStamp };
