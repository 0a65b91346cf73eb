#pragma once

#include "MakeOptions.h"
#include "Progress.h"
#include "dummy/modMain.h"

#include <QLocale>
#include <QStringList>

class MakeList;

// The prefix used when the user gives none.
inline const QString DefaultPrefix = QStringLiteral("__退避__");

struct IntakeResult {
    enum Outcome {
        Added,          // the paths were taken in (some may have been duplicates)
        NoOutputFolder, // chosen-folder mode without a folder: nothing added
        // Chosen-folder mode with a folder that depends on the current folder: nothing added.
        RelativeOutputFolder,
        PrefixTooLong, // the trimmed prefix exceeds MaxPrefixLength: nothing added
        // The trimmed prefix holds a character no file name may hold: nothing added.
        PrefixBadCharacter,
    };
    Outcome outcome = Added;
    qsizetype added = 0;
    qsizetype duplicates = 0;
    // Paths skipped because another source already holds their dummy's key: how many,
    // and the first MaxCollidedPaths of them in order.
    qsizetype collisions = 0;
    QStringList collidedPaths;
    static constexpr qsizetype MaxCollidedPaths = 10;
    bool cancelled = false;
};

// Turns dropped paths into make-list rows named by options; the chosen folder is taken
// without surrounding spaces, as it is saved. Paths is 1-based:
// element 0 is not read. Paths whose dummy key is already listed are skipped; those
// whose key another source holds are also counted as collisions. Texts
// are formatted for locale. A path whose metadata cannot be read throws FileError;
// rows taken in before it stay listed.
IntakeResult AddDroppedFiles(MakeList &list, const MakeOptions &options, const QStringList &Paths,
                             const QLocale &locale = QLocale::system(),
                             const Progress &progress = {});
