#pragma once

#include "Progress.h"

#include <QString>

class MakeList;

// Marks a row gets from a make.
inline const QString MarkMade = QStringLiteral("○");
inline const QString MarkRefused = QStringLiteral("×");

// What a make did to the rows it reached: made, refused because their very dummy is
// there already, refused otherwise (the row an error stopped it at included).
struct BatchResult {
    qsizetype made = 0;
    qsizetype alreadyMade = 0;
    qsizetype refused = 0;
    bool cancelled = false;
};

// Makes the dummy of every row in order and marks each row with the mark and the
// maker's result; the list's views learn of them when progress calls the list's
// flushMarks(), and at the end. A FileError from the maker stops the batch at that
// row and propagates: that row gets no mark and the error's reason as its outcome
// (the first row with a reason, after the failure), the rows before keep their marks.
// result is counted up row by row, so that it holds the rows reached when an error
// stops the batch.
void MakeAll(MakeList &list, BatchResult &result, const Progress &progress = {});
inline BatchResult MakeAll(MakeList &list, const Progress &progress = {})
{
    BatchResult result;
    MakeAll(list, result, progress);
    return result;
}
