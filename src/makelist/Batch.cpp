#include "Batch.h"

#include "MakeList.h"
#include "dummy/modMain.h"

#include <QDir>

namespace
{

// Reports the marked rows to the model's views once, on every path out.
class MarkedRows
{
public:
    explicit MarkedRows(MakeList &list) : m_list(list) {}
    ~MarkedRows() { m_list.notifyTexts(1, m_last); }
    MarkedRows(const MarkedRows &) = delete;
    MarkedRows &operator=(const MarkedRows &) = delete;

    void mark(int n, const QString &text)
    {
        m_list.setTextQuietly(n, text);
        m_last = n;
    }

private:
    MakeList &m_list;
    int m_last = 0;
};

} // namespace

BatchResult MakeAll(MakeList &list, const Progress &progress)
{
    BatchResult result;
    const int total = list.count();
    const QChar separator = QDir::separator();
    MarkedRows marks(list);
    for (int n = 1; n <= total; ++n) {
        const MakeItem &row = list.item(n);
        const QString dummy =
            row.SubItems[SubFilePath - 1] + separator + row.SubItems[SubFileName - 1];
        const bool made = MakeDummy(row.Tag, dummy, row.InitialLen, row.SizeAdd) == DummyMade;
        marks.mark(n, made ? MarkMade : MarkRefused);
        ++(made ? result.made : result.refused);
        if (progress && !progress(n, total)) {
            result.cancelled = n < total;
            break;
        }
    }
    return result;
}
