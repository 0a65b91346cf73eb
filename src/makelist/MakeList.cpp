#include "MakeList.h"

#include "dummy/PathCodec.h"

#include <stdexcept>

void MakeList::clearColumns()
{
    if (m_columns.isEmpty())
        return;
    beginRemoveColumns({}, 0, int(m_columns.size()) - 1);
    m_columns.clear();
    endRemoveColumns();
}

void MakeList::addColumn(int position, const QString &key, const QString &text, int widthTwips,
                         Qt::Alignment alignment)
{
    const int at = qBound(0, position - 1, int(m_columns.size()));
    beginInsertColumns({}, at, at);
    m_columns.insert(at, MakeColumn{key, text, widthTwips, alignment});
    endInsertColumns();
}

int MakeList::add(const QString &key, const QString &text)
{
    {
        Appender rows(*this, 1);
        MakeItem row;
        row.Key = key;
        row.Text = text;
        rows.add(std::move(row));
    }
    return count();
}

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

MakeList::Appender::~Appender()
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
    m_list.endInsertRows();
}

void MakeList::clear()
{
    beginResetModel();
    m_rows.clear();
    m_keys.clear();
    endResetModel();
}

void MakeList::setText(int n, const QString &text)
{
    m_rows[n - 1].Text = text;
    changed(n, 0);
}

void MakeList::setSubItem(int n, int subItem, const QString &text)
{
    m_rows[n - 1].SubItems.at(subItem - 1) = text;
    changed(n, subItem);
}

void MakeList::setTag(int n, const QString &tag)
{
    m_rows[n - 1].Tag = tag;
}

void MakeList::setSelected(int n, bool selected)
{
    m_rows[n - 1].Selected = selected;
}

void MakeList::notifyTexts(int first, int last)
{
    if (first <= last)
        emit dataChanged(index(first - 1, 0), index(last - 1, 0), {Qt::DisplayRole});
}

void MakeList::changed(int n, int column)
{
    if (column < columnCount())
        emit dataChanged(index(n - 1, column), index(n - 1, column), {Qt::DisplayRole});
}

int MakeList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

int MakeList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant MakeList::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const MakeItem &row = m_rows.at(index.row());
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        if (column == 0)
            return row.Text;
        return displayPath(column <= MakeItem::SubItemCount ? row.SubItems.at(column - 1)
                                                            : QString());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(m_columns.at(column).Alignment | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant MakeList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    const MakeColumn &column = m_columns.at(section);
    switch (role) {
    case Qt::DisplayRole:
        return column.Text;
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(column.Alignment | Qt::AlignVCenter);
    case WidthTwipsRole:
        return column.Width;
    default:
        return {};
    }
}
