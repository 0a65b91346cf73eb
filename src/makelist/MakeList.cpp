#include "MakeList.h"

#include "dummy/modMain.h"
#include "fs/FileStat.h"
#include "fs/FileSystem.h"
#include "fs/PathCodec.h"

#include <QHashFunctions>
#include <algorithm>
#include <stdexcept>

namespace
{

// The largest size a record keeps whole (it keeps the low 32 bits).
constexpr qint64 MaxRecordedSize = 0xFFFFFFFF;

// Why the last make refused row: nothing when it was made or not made.
QVariant refusalTip(const MakeItem &row)
{
    switch (row.Refusal) {
    case DummyRefusal::SourceMissing:
        return MakeList::tr("元のファイルが見つかりません。");
    case DummyRefusal::SourceInaccessible:
        return MakeList::tr("元のファイルにアクセスできません。");
    case DummyRefusal::SourceNotFile:
        return MakeList::tr("元のファイルが通常のファイルではありません。");
    case DummyRefusal::SourceHidden:
        return MakeList::tr("元のファイルが隠しファイルです。");
    case DummyRefusal::FolderMissing:
        return MakeList::tr("作成場所のフォルダがありません。");
    case DummyRefusal::FolderInaccessible:
        return MakeList::tr("作成場所のフォルダにアクセスできません。");
    case DummyRefusal::FolderNotFolder:
        return MakeList::tr("作成場所がフォルダではありません。");
    case DummyRefusal::Exists:
        return MakeList::tr("同じ名前のファイルが既にあります。");
    case DummyRefusal::AlreadyMade:
        return MakeList::tr("作成済みです。");
    case DummyRefusal::SourceChanged:
        return MakeList::tr("元のファイルが一覧に追加した後に変更されています。"
                            "行を削除して、ファイルをもう一度ドロップして下さい。");
    case DummyRefusal::None:
        break;
    }
    return {};
}

// The locale's time format with seconds and without a time-zone field: the short
// format with seconds added after the minutes, as "H:mm" becomes "H:mm:ss".
QString timeFormatWithSeconds(const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1Char('s'))) {
        const qsizetype minutes = format.indexOf(QLatin1String("mm"));
        if (minutes > 0)
            format.insert(minutes + 2, format.at(minutes - 1) + QLatin1String("ss"));
        else
            format = locale.timeFormat(QLocale::LongFormat);
    }
    QString out;
    bool quoted = false;
    for (const QChar c : std::as_const(format)) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (quoted || c != QLatin1Char('t'))
            out += c;
    }
    return out.simplified();
}

} // namespace

// The index grows before it is more than this full (in tenths).
constexpr qsizetype MaxLoadTenths = 7;

void MakeList::KeyIndex::reserve(qsizetype rows)
{
    const size_t wanted = size_t(rows * 10 / MaxLoadTenths + 1);
    if (wanted <= m_slots.size())
        return;
    std::vector<quint64> old(qMax(wanted, m_slots.size() * 2), 0);
    old.swap(m_slots);
    for (const quint64 entry : old) {
        if (entry != 0)
            place(entry);
    }
}

template <class Same> bool MakeList::KeyIndex::contains(size_t hash, Same same) const
{
    if (m_slots.empty())
        return false;
    const quint32 high = quint32(hash);
    for (size_t i = slotOf(high);; i = i + 1 == m_slots.size() ? 0 : i + 1) {
        const quint64 entry = m_slots[i];
        if (entry == 0)
            return false;
        if (quint32(entry >> 32) == high && same(qsizetype(quint32(entry)) - 1))
            return true;
    }
}

void MakeList::KeyIndex::insert(size_t hash, qsizetype row)
{
    reserve(m_used + 1);
    place(quint64(quint32(hash)) << 32 | quint64(row + 1));
    ++m_used;
}

void MakeList::KeyIndex::renumber(const std::vector<int> &rows)
{
    // In place, the entries keeping their hashes: no key is hashed again and no table
    // is made. An empty slot is where no run of entries crosses.
    const size_t size = m_slots.size();
    const auto empty = std::find(m_slots.cbegin(), m_slots.cend(), quint64(0));
    if (empty == m_slots.cend())
        return; // no table yet
    const size_t start = size_t(empty - m_slots.cbegin());
    m_used = 0;
    for (quint64 &entry : m_slots) {
        const int row = entry == 0 ? -1 : rows[size_t(quint32(entry)) - 1];
        entry = row < 0 ? 0 : (entry & ~quint64(0xFFFFFFFFu)) | quint64(row + 1);
        m_used += row < 0 ? 0 : 1;
    }
    // Each entry after a freed slot moves back towards its home slot. Taken run by
    // run from the start of each, every entry lies between its home and its slot.
    for (size_t k = 1; k < size; ++k) {
        const size_t i = (start + k) % size;
        if (const quint64 entry = m_slots[i]) {
            m_slots[i] = 0;
            place(entry);
        }
    }
}

void MakeList::KeyIndex::place(quint64 entry)
{
    size_t i = slotOf(quint32(entry >> 32));
    while (m_slots[i] != 0)
        i = i + 1 == m_slots.size() ? 0 : i + 1;
    m_slots[i] = entry;
}

// Names are compared as the file system compares them (FoldedNames): on Windows as NTFS
// does, each UTF-16 unit upper-cased alone by the simple mapping (its upcase table; no locale
// rules, "ß" stays itself) and "/" read as "\\"; on Unix as they are.

static char16_t folded(QChar c)
{
    const char32_t upper = QChar::toUpper(c.unicode());
    return c == u'/' ? u'\\' : upper > 0xFFFF ? c.unicode() : char16_t(upper);
}

static size_t foldedHash(QStringView text, size_t start)
{
    if constexpr (!FoldedNames)
        return qHash(text, start);
    thread_local QString buffer;
    buffer.resize(text.size());
    std::transform(text.cbegin(), text.cend(), buffer.begin(), [](QChar c) { return folded(c); });
    return qHash(QStringView(buffer), start);
}

bool samePath(QStringView a, QStringView b)
{
    if constexpr (!FoldedNames)
        return a == b;
    return a.size() == b.size() &&
           std::equal(a.cbegin(), a.cend(), b.cbegin(),
                      [](QChar x, QChar y) { return x == y || folded(x) == folded(y); });
}

size_t MakeList::folderHash(const QString &folder)
{
    return foldedHash(folder, QHashSeed::globalSeed());
}

// A name holds no separator, so folder and name together tell the key.
size_t MakeList::keyHash(size_t folderHash, QStringView name)
{
    const quint64 hash = foldedHash(name, folderHash);
    return size_t(hash ^ (hash >> 32));
}

void MakeList::reindex()
{
    m_keys.clear();
    m_keys.reserve(m_rows.size());
    QString folder;
    size_t folderKey = folderHash(folder);
    for (qsizetype row = 0; row < m_rows.size(); ++row) {
        const MakeItem &item = m_rows.at(row);
        if (item.FilePath != folder) {
            folder = item.FilePath;
            folderKey = folderHash(folder);
        }
        m_keys.insert(keyHash(folderKey, item.FileName), row);
    }
}

MakeList::MakeList(QObject *parent) : QAbstractTableModel(parent)
{
    setLocale(QLocale::system());
}

void MakeList::setLocale(const QLocale &locale)
{
    if (!m_dateFormat.isNull() && locale == m_locale)
        return;
    m_locale = locale;
    m_dateFormat = locale.dateFormat(QLocale::ShortFormat);
    m_dateTimeFormat = m_dateFormat + QLatin1Char(' ') + timeFormatWithSeconds(locale);
    if (count() > 0) {
        const int column = int(MakeColumn::TIMESTUMP);
        emit dataChanged(index(0, column), index(count() - 1, column), {Qt::DisplayRole});
    }
}

// Short date and time with seconds; the date alone at midnight.
QString MakeList::timeText(qint64 msecs) const
{
    const QDateTime t = localWallClock(msecs);
    return m_locale.toString(t, t.time() == QTime(0, 0) ? m_dateFormat : m_dateTimeFormat);
}

MakeList::Appender::Appender(MakeList &list, qsizetype expected) : m_list(list)
{
    m_rows.reserve(expected);
    m_list.m_keys.reserve(m_list.m_rows.size() + expected);
    m_folderHash = folderHash(m_folder);
}

MakeList::Appender::~Appender()
{
    if (!m_rows.isEmpty())
        m_list.reindex(); // forgets the rows collected
}

size_t MakeList::Appender::hash(const QString &folder, QStringView name)
{
    if (folder != m_folder) {
        m_folder = folder;
        m_folderHash = folderHash(folder);
    }
    return keyHash(m_folderHash, name);
}

const MakeItem *MakeList::Appender::find(const QString &folder, QStringView name)
{
    return find(folder, name, hash(folder, name));
}

const MakeItem *MakeList::Appender::find(const QString &folder, QStringView name, size_t hash)
{
    const qsizetype listed = m_list.m_rows.size();
    const MakeItem *found = nullptr;
    m_list.m_keys.contains(hash, [&](qsizetype row) {
        const MakeItem &item = row < listed ? m_list.m_rows.at(row) : m_rows.at(row - listed);
        found = samePath(item.FileName, name) && samePath(item.FilePath, folder) ? &item : nullptr;
        return found != nullptr;
    });
    return found;
}

void MakeList::Appender::add(MakeItem row)
{
    const size_t key = hash(row.FilePath, row.FileName);
    if (find(row.FilePath, row.FileName, key))
        throw std::logic_error("make list key already in use");
    m_list.m_keys.insert(key, m_list.m_rows.size() + m_rows.size());
    m_rows.append(std::move(row));
}

void MakeList::Appender::commit()
{
    if (m_rows.isEmpty())
        return;
    const int first = m_list.count();
    m_list.beginInsertRows({}, first, first + int(m_rows.size()) - 1);
    if (first == 0)
        m_list.m_rows = std::move(m_rows); // a large drop on an empty list is not copied
    else
        m_list.m_rows.append(std::move(m_rows));
    m_rows.clear();
    m_list.endInsertRows();
}

void MakeList::clear()
{
    QList<MakeItem> rows;
    beginResetModel();
    rows.swap(m_rows);
    m_keys.clear();
    m_markedFirst = 0;
    m_markedLast = -1;
    m_errorRow = -1;
    endResetModel();
}

void MakeList::remove(QList<int> rows)
{
    flushMarks(); // no notification may name a row gone
    if (rows.isEmpty())
        return;
    const int total = count();
    std::vector<int> renumbered(size_t(total), 0); // each row's new number; -1 when gone
    for (const int n : std::as_const(rows)) {
        if (n < 1 || n > total)
            throw std::out_of_range("make list row out of range");
        renumbered[size_t(n - 1)] = -1;
    }
    const auto gone = [&](int row) { return renumbered[size_t(row)] < 0; };
    // The views hear of one run of adjacent rows as its removal, of more as a reset:
    // one notification whatever the shape of the selection.
    int first = -1, last = -1, runs = 0;
    for (int row = 0; row < total; ++row) {
        if (gone(row) && (row == 0 || !gone(row - 1))) {
            ++runs;
            first = first < 0 ? row : first;
        }
        last = gone(row) ? row : last;
    }
    if (runs == 1)
        beginRemoveRows({}, first, last);
    else
        beginResetModel();
    // One pass: the rows kept move up in order.
    MakeItem *items = m_rows.data();
    int kept = 0, errorRow = -1;
    for (int row = 0; row < total; ++row) {
        if (gone(row))
            continue;
        if (row == m_errorRow)
            errorRow = kept;
        if (kept != row)
            items[kept] = std::move(items[row]);
        renumbered[size_t(row)] = kept++;
    }
    m_rows.resize(kept);
    m_errorRow = errorRow;
    m_keys.renumber(renumbered); // the keys removed are freed, the rows that moved up found again
    if (runs == 1)
        endRemoveRows();
    else
        endResetModel();
}

void MakeList::mark(int n, const QString &text)
{
    m_rows[n - 1].Text = text;
    changed(n - 1);
}

void MakeList::setOutcome(int n, DummyRefusal refusal, const QString &reason)
{
    m_rows[n - 1].Refusal = refusal;
    if (!reason.isEmpty()) {
        m_errorRow = n - 1;
        m_errorReason = reason;
    } else if (m_errorRow == n - 1) {
        m_errorRow = -1;
    }
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
            return index.row() == m_errorRow ? QVariant(m_errorReason) : refusalTip(row);
        if (column == MakeColumn::SIZE && row.Size > MaxRecordedSize && !row.SizeAdd)
            return MakeList::tr("%1\nダミーにはサイズの下位 32 ビットだけが記録されます。"
                                "「ファイル名にサイズを付ける」にすると、サイズ全体が"
                                "ファイル名に残ります。")
                .arg(row.Size);
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
            return QString::number(row.Size);
        case MakeColumn::EXT:
            return displayPath(row.ext().toString());
        case MakeColumn::TIMESTUMP:
            return timeText(row.ModifiedMSecs);
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
        return tr(column.Text);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(column.Alignment | Qt::AlignVCenter);
    default:
        return {};
    }
}
