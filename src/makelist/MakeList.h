#pragma once

#include "MakeItem.h"

#include <QAbstractTableModel>
#include <QList>
#include <QLocale>
#include <vector>

// Whether paths a and b name one file as the file system compares names: on Windows
// without letter case and with "/" as "\\", on Unix character by character.
bool samePath(QStringView a, QStringView b);

// The one store of the make-list rows, shown through a table model with the
// columns of MakeColumns.
//
// Row numbers are 1-based in this interface, as the rows are numbered for the user;
// model rows are 0-based. The views' notifications are this class's alone.
class MakeList : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit MakeList(QObject *parent = nullptr);

    // Rows.
    int count() const { return int(m_rows.size()); }
    const MakeItem &item(int n) const { return m_rows.at(n - 1); }
    void clear();
    // Removes the rows numbered in rows (any order, repeats allowed) and frees their keys,
    // in one pass over the list; the views hear of one run of adjacent rows as its
    // removal and of more as a reset.
    void remove(QList<int> rows);
    // The row whose last make met an unexpected error; 0 when none.
    int errorRow() const { return m_errorRow + 1; }

    // The locale the TIMESTUMP texts are shown in (at first the system's); the
    // intake sets the one its rows are made for.
    void setLocale(const QLocale &locale);

    // Collects new rows; commit() adds them at the end of the list in one insertion.
    // Rows not committed are dropped. Keys must be new to the list and to the rows
    // collected. One appender at a time, and the list keeps its rows meanwhile.
    class Appender
    {
    public:
        Appender(MakeList &list, qsizetype expected);
        ~Appender();
        Appender(const Appender &) = delete;
        Appender &operator=(const Appender &) = delete;

        // The row, listed or collected, whose key is folder + separator + name as the
        // file system compares them (samePath); null when none.
        const MakeItem *find(const QString &folder, QStringView name);
        void add(MakeItem row);
        void commit();

    private:
        size_t hash(const QString &folder, QStringView name);
        const MakeItem *find(const QString &folder, QStringView name, size_t hash);

        MakeList &m_list;
        QList<MakeItem> m_rows; // numbered on in the list's key index
        QString m_folder;       // the last folder hashed, and its hash
        size_t m_folderHash = 0;
    };

    // Sets row n's STATUS text; the views learn of the marks at the next flushMarks(),
    // all in one notification.
    void mark(int n, const QString &text);
    // Sets row n's outcome, why MakeDummy refused it or the system's reason for an error;
    // its STATUS tooltip tells it. Shown with the marks.
    void setOutcome(int n, DummyRefusal refusal, const QString &reason = {});
    void flushMarks();

    // QAbstractItemModel
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void changed(int row);
    // 0-based row numbers by the hash of the key as samePath compares it, in open
    // addressing with linear probing: each slot holds 32 bits of the hash above the
    // row + 1 (0 is an empty slot).
    class KeyIndex
    {
    public:
        // Room for rows keys in all without growing.
        void reserve(qsizetype rows);
        void clear() { *this = {}; }
        // Whether same(row) holds for a row whose key has hash.
        template <class Same> bool contains(size_t hash, Same same) const;
        void insert(size_t hash, qsizetype row);
        // Renumbers each row r as rows[r], and drops it where that is negative.
        void renumber(const std::vector<int> &rows);

    private:
        size_t slotOf(quint32 hash) const { return size_t((quint64(hash) * m_slots.size()) >> 32); }
        void place(quint64 entry);

        std::vector<quint64> m_slots;
        qsizetype m_used = 0;
    };

    static size_t folderHash(const QString &folder);
    static size_t keyHash(size_t folderHash, QStringView name);
    // Rebuilds the key index from the rows, as after rows have moved.
    void reindex();
    QString timeText(qint64 msecs) const;

    QList<MakeItem> m_rows;
    KeyIndex m_keys;
    int m_markedFirst = 0; // 0-based rows marked since the last flush
    int m_markedLast = -1;
    QLocale m_locale;
    QString m_dateFormat, m_dateTimeFormat;
    // The row whose last make met an unexpected error (one at most: it stops the batch),
    // and the system's reason.
    int m_errorRow = -1;
    QString m_errorReason;
};
