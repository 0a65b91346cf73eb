#include "Batch.h"

#include "MakeList.h"
#include "dummy/modMain.h"
#include "fs/FileError.h"

void MakeAll(MakeList &list, BatchResult &result, const Progress &progress)
{
    result = {};
    const int total = list.count();
    for (int n = 1; n <= total; ++n) {
        const MakeItem &row = list.item(n);
        qint16 code = DummyMade;
        DummyRefusal refusal = DummyRefusal::None;
        try {
            code = MakeDummy(row.Tag, row.key(), row.InitialLen, row.SizeAdd,
                             ListedSource{row.Size, row.ModifiedMSecs}, &refusal);
        } catch (const FileError &e) {
            list.mark(n, QString());
            list.setOutcome(n, DummyRefusal::None, e.reason());
            ++result.refused;
            list.flushMarks(); // this row and the rows marked before it
            throw;
        } catch (...) {
            list.flushMarks();
            throw;
        }
        list.mark(n, code == DummyMade ? MarkMade : MarkRefused);
        list.setOutcome(n, refusal);
        ++(code == DummyMade                      ? result.made
           : refusal == DummyRefusal::AlreadyMade ? result.alreadyMade
                                                  : result.refused);
        if (progress && !progress(n, total)) {
            result.cancelled = n < total;
            break;
        }
    }
    list.flushMarks();
}
