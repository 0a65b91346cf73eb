#pragma once

#include "MakeItem.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>

// The one store of the make-list rows, shown through a table model with the
// columns of MakeColumns.
//
// Row numbers are 1-based in this interface, as the rows are numbered for the user;
// model rows are 0-based. The views' notifications are this class's alone.
class MakeList : public QAbstractTableModel
{
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    // Rows.
    int count() const { return int(m_rows.size()); }
    const MakeItem &item(int n) const { return m_rows.at(n - 1); }
    void clear();
    // Removes the rows numbered in rows (any order, repeats allowed) and frees their keys.
    void remove(QList<int> rows);

    // Collects new rows; commit() adds them at the end of the list in one insertion.
    // Rows not committed are dropped. Keys must be new to the list and to the rows
    // collected.
    class Appender
    {
    public:
        Appender(MakeList &list, qsizetype expected);
        Appender(const Appender &) = delete;
        Appender &operator=(const Appender &) = delete;

        // Whether key is listed or collected.
        bool contains(const QString &key) const
        {
            return m_list.m_keys.contains(key) || m_keys.contains(key);
        }
        void add(MakeItem row);
        void commit();

    private:
        MakeList &m_list;
        QList<MakeItem> m_rows;
        QHash<QString, int> m_keys; // key to 0-based index in m_rows
    };

    // Sets row n's STATUS text; the views learn of the marks at the next flushMarks(),
    // all in one notification.
    void mark(int n, const QString &text);
    // Sets row n's outcome, the MakeDummy result or the system's reason for an error;
    // its STATUS tooltip tells it. Shown with the marks.
    void setOutcome(int n, qint16 result, const QString &reason = {});
    void flushMarks();

    // QAbstractItemModel
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void changed(int row);

    QList<MakeItem> m_rows;
    QHash<QString, int> m_keys; // key to 0-based row
    int m_markedFirst = 0;      // 0-based rows marked since the last flush
    int m_markedLast = -1;
};
