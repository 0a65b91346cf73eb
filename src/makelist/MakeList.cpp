#include "MakeList.h"

#include "dummy/PathCodec.h"
#include "dummy/modMain.h"

#include <algorithm>
#include <stdexcept>

namespace
{

// Why the last make did not make row: nothing when it was made or not made.
QVariant outcomeTip(const MakeItem &row)
{
    if (!row.Reason.isEmpty())
        return row.Reason;
    switch (row.Result) {
    case DummySourceMissing:
        return QStringLiteral("元のファイルが見つかりません。");
    case DummyFolderMissing:
        return QStringLiteral("作成場所のフォルダがありません。");
    case DummyExists:
        return QStringLiteral("同じ名前のファイルが既にあります。");
    default:
        return {};
    }
}

} // namespace

MakeList::Appender::Appender(MakeList &list, qsizetype expected) : m_list(list)
{
    m_rows.reserve(expected);
    m_keys.reserve(expected);
}

void MakeList::Appender::add(MakeItem row)
{
    if (contains(row.Key))
        throw std::logic_error("make list key already in use");
    m_keys.insert(row.Key, int(m_rows.size()));
    m_rows.append(std::move(row));
}

void MakeList::Appender::commit()
{
    if (m_rows.isEmpty())
        return;
    const int first = m_list.count();
    m_list.beginInsertRows({}, first, first + int(m_rows.size()) - 1);
    if (first == 0) {
        // A large drop on an empty list is neither copied nor hashed again.
        m_list.m_rows = std::move(m_rows);
        m_list.m_keys = std::move(m_keys);
    } else {
        for (MakeItem &row : m_rows) {
            m_list.m_keys.insert(row.Key, int(m_list.m_rows.size()));
            m_list.m_rows.append(std::move(row));
        }
    }
    m_rows.clear();
    m_keys.clear();
    m_list.endInsertRows();
}

void MakeList::clear()
{
    beginResetModel();
    m_rows.clear();
    m_keys.clear();
    m_markedFirst = 0;
    m_markedLast = -1;
    endResetModel();
}

void MakeList::remove(QList<int> rows)
{
    flushMarks(); // no notification may name a row gone
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.isEmpty())
        return;
    if (rows.front() < 1 || rows.back() > count())
        throw std::out_of_range("make list row out of range");
    // One removal a run of adjacent rows, from the bottom, so the numbers above hold.
    for (qsizetype end = rows.size(); end > 0;) {
        qsizetype begin = end - 1;
        while (begin > 0 && rows[begin - 1] == rows[begin] - 1)
            --begin;
        const int first = rows[begin] - 1, last = rows[end - 1] - 1;
        beginRemoveRows({}, first, last);
        for (int r = first; r <= last; ++r)
            m_keys.remove(m_rows[r].Key);
        m_rows.remove(first, last - first + 1);
        endRemoveRows();
        end = begin;
    }
    for (int r = rows.front() - 1; r < count(); ++r) // the rows that moved up
        m_keys[m_rows[r].Key] = r;
}

void MakeList::mark(int n, const QString &text)
{
    m_rows[n - 1].Text = text;
    changed(n - 1);
}

void MakeList::setOutcome(int n, qint16 result, const QString &reason)
{
    MakeItem &row = m_rows[n - 1];
    row.Result = result;
    row.Reason = reason;
    changed(n - 1);
}

void MakeList::changed(int row)
{
    if (m_markedFirst > m_markedLast) {
        m_markedFirst = m_markedLast = row;
    } else {
        m_markedFirst = qMin(m_markedFirst, row);
        m_markedLast = qMax(m_markedLast, row);
    }
}

void MakeList::flushMarks()
{
    if (m_markedFirst > m_markedLast)
        return;
    const int column = int(MakeColumn::STATUS);
    const QModelIndex first = index(m_markedFirst, column), last = index(m_markedLast, column);
    m_markedFirst = 0;
    m_markedLast = -1;
    emit dataChanged(first, last, {Qt::DisplayRole, Qt::ToolTipRole});
}

int MakeList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

int MakeList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(MakeColumns.size());
}

QVariant MakeList::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const MakeItem &row = m_rows.at(index.row());
    const MakeColumn column = MakeColumn(index.column());
    switch (role) {
    case Qt::ToolTipRole:
        if (column == MakeColumn::STATUS)
            return outcomeTip(row);
        [[fallthrough]]; // the other cells' full texts
    case Qt::DisplayRole:
        switch (column) {
        case MakeColumn::STATUS:
            return row.Text;
        case MakeColumn::FILE_PATH:
            return displayPath(row.FilePath);
        case MakeColumn::FILE_NAME:
            return displayPath(row.FileName);
        case MakeColumn::SIZE:
            return row.Size;
        case MakeColumn::EXT:
            return displayPath(row.Ext);
        case MakeColumn::TIMESTUMP:
            return row.TimeStamp;
        }
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(columnInfo(column).Alignment | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant MakeList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    const MakeColumnInfo &column = MakeColumns[size_t(section)];
    switch (role) {
    case Qt::DisplayRole:
        return column.Text.toString();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(column.Alignment | Qt::AlignVCenter);
    default:
        return {};
    }
}
