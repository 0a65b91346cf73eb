#pragma once

#include "MakeItem.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>

// A column of the make list; Width is in twips.
struct MakeColumn {
    QString Key;
    QString Text;
    int Width = 0;
    Qt::Alignment Alignment = Qt::AlignLeft;
};

// The one store of the make-list rows, shown through a table model.
//
// Row numbers are 1-based in this interface, as the rows are numbered for the user;
// model rows are 0-based. Column 0 shows the row's text, column n its sub-item n.
class MakeList : public QAbstractTableModel
{
    Q_OBJECT

public:
    // headerData role giving a column's width in twips.
    static constexpr int WidthTwipsRole = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;

    // Columns.
    void clearColumns();
    void addColumn(int position, const QString &key, const QString &text, int widthTwips,
                   Qt::Alignment alignment);
    const QList<MakeColumn> &columns() const { return m_columns; }

    // Rows.
    int count() const { return int(m_rows.size()); }
    const MakeItem &item(int n) const { return m_rows.at(n - 1); }
    int indexOfKey(const QString &key) const { return m_keys.value(key, -1) + 1; } // 0: none
    bool containsKey(const QString &key) const { return m_keys.contains(key); }
    int add(const QString &key, const QString &text);
    void clear();

    // Collects new rows and adds them at the end in one insertion when it goes out of
    // scope, on every path out. Keys must be new to the list and to the rows collected.
    class Appender
    {
    public:
        Appender(MakeList &list, qsizetype expected);
        ~Appender();
        Appender(const Appender &) = delete;
        Appender &operator=(const Appender &) = delete;

        // Whether key is listed or collected.
        bool contains(const QString &key) const
        {
            return m_list.m_keys.contains(key) || m_keys.contains(key);
        }
        void add(MakeItem row);

    private:
        MakeList &m_list;
        QList<MakeItem> m_rows;
        QHash<QString, int> m_keys; // key to 0-based index in m_rows
    };

    // One row.
    void setText(int n, const QString &text);
    void setSubItem(int n, int subItem, const QString &text);
    void setTag(int n, const QString &tag);
    void setSelected(int n, bool selected);

    // Marks rows without notifying; notifyTexts then reports rows first..last at once.
    void setTextQuietly(int n, const QString &text) { m_rows[n - 1].Text = text; }
    void notifyTexts(int first, int last);

    // QAbstractItemModel
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void changed(int n, int column);

    QList<MakeColumn> m_columns;
    QList<MakeItem> m_rows;
    QHash<QString, int> m_keys; // key to 0-based row
};
