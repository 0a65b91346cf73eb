#include "Batch.h"

#include "MakeList.h"
#include "dummy/modMain.h"

#include <QDir>

BatchResult MakeAll(MakeList &list, const Progress &progress)
{
    BatchResult result;
    const int total = list.count();
    const QChar separator = QDir::separator();
    try {
        for (int n = 1; n <= total; ++n) {
            const MakeItem &row = list.item(n);
            const QString dummy = row.FilePath + separator + row.FileName;
            const bool made = MakeDummy(row.Tag, dummy, row.InitialLen, row.SizeAdd) == DummyMade;
            list.mark(n, made ? MarkMade : MarkRefused);
            ++(made ? result.made : result.refused);
            if (progress && !progress(n, total)) {
                result.cancelled = n < total;
                break;
            }
        }
    } catch (...) {
        list.flushMarks(); // the rows marked before the failure
        throw;
    }
    list.flushMarks();
    return result;
}
