#include "Intake.h"

#include "MakeList.h"
#include "dummy/FileStat.h"

#include <QDir>
#include <algorithm>

namespace
{

// Whether prefix holds a character not allowed in a file name, so that the dummy would
// go into another folder, or (on Windows) into a stream or a device.
bool hasBadNameCharacter(const QString &prefix)
{
#ifdef Q_OS_WIN
    const QStringView bad = u"\\/:*?\"<>|";
#else
    const QStringView bad = u"/";
#endif
    return std::any_of(prefix.cbegin(), prefix.cend(),
                       [&](QChar c) { return c.unicode() < 0x20 || bad.contains(c); });
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

// Formats the row texts; built once per intake. Rows with the same size, extension
// or time in a row share one copy of its text.
class RowFormat
{
public:
    explicit RowFormat(const QLocale &locale)
        : m_locale(locale), m_date(locale.dateFormat(QLocale::ShortFormat)),
          m_dateTime(m_date + QLatin1Char(' ') + timeFormatWithSeconds(locale))
    {
        m_locale.setNumberOptions(m_locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    }

    // "#,###": grouped digits, nothing for 0.
    QString groupedSize(qint64 size) const
    {
        return size == 0 ? QString() : m_locale.toString(size);
    }

    const QString &size(qint64 size)
    {
        if (m_size.text.isNull() || m_size.key != size)
            m_size = {size, QString::number(size)};
        return m_size.text;
    }

    const QString &ext(QStringView ext)
    {
        if (m_ext.key != ext)
            m_ext = {ext.toString(), ext.toString()};
        return m_ext.text;
    }

    // Short date and time with seconds; the date alone at midnight.
    const QString &dateTime(qint64 msecs)
    {
        if (m_time.text.isNull() || m_time.key != msecs) {
            const QDateTime t = localWallClock(msecs);
            m_time = {msecs, m_locale.toString(t, t.time() == QTime(0, 0) ? m_date : m_dateTime)};
        }
        return m_time.text;
    }

private:
    template <class K> struct Last {
        K key{};
        QString text;
    };

    QLocale m_locale;
    QString m_date;
    QString m_dateTime;
    Last<qint64> m_size;
    Last<QString> m_ext;
    Last<qint64> m_time;
};

} // namespace

IntakeResult AddDroppedFiles(MakeList &list, const MakeOptions &options, const QStringList &Paths,
                             const QLocale &locale, const Progress &progress)
{
    IntakeResult result;
    if (!options.SameFolder && TrimSpaces(options.OutPath).isEmpty()) {
        result.outcome = IntakeResult::NoOutputFolder;
        return result;
    }
    const QString trimmed = TrimSpaces(options.Initial);
    if (trimmed.size() > MaxPrefixLength) {
        result.outcome = IntakeResult::PrefixTooLong;
        return result;
    }
    if (hasBadNameCharacter(trimmed)) {
        result.outcome = IntakeResult::PrefixBadCharacter;
        return result;
    }
    const QString prefix = trimmed.isEmpty() ? DefaultPrefix : trimmed;
    const int initialLen = int(prefix.size());
    const bool sizeAdd = options.SizeCheck == SizeCheckState::On;
    const QChar separator = QDir::separator();
    RowFormat format(locale);
    const qsizetype total = Paths.size() - 1;

    MakeList::Appender rows(list, total);
    try {
        QString folder; // kept between rows so rows of one folder share its text
        for (qsizetype i = 1; i < Paths.size(); ++i) {
            const QString &path = Paths.at(i);
            const qsizetype cut = path.lastIndexOf(separator);
            if (!options.SameFolder) {
                folder = options.OutPath;
            } else if (cut == 0) {
                folder = QString(separator); // directly under the root
            } else if (QStringView(folder) != QStringView(path).left(qMax<qsizetype>(cut, 0))) {
                folder = path.left(qMax<qsizetype>(cut, 0));
            }
            const QString base = path.mid(cut + 1);

            QString name = prefix + base;
            FileStat meta;
            bool haveMeta = false;
            if (sizeAdd) {
                meta = statFile(path);
                haveMeta = true;
                const QString size =
                    QLatin1Char('(') + format.groupedSize(meta.size) + QLatin1Char(')');
                const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
                if (dot < 0)
                    name += size;
                else
                    name.insert(dot, size);
            }

            QString key = folder + separator + name;
            if (rows.contains(key)) {
                ++result.duplicates;
            } else {
                if (!haveMeta)
                    meta = statFile(path);
                const qsizetype dot = base.lastIndexOf(QLatin1Char('.'));
                MakeItem row;
                row.Key = std::move(key);
                row.FilePath = folder;
                row.FileName = name;
                row.Size = format.size(meta.size);
                row.Ext = format.ext(dot < 0 ? QStringView() : QStringView(base).mid(dot + 1));
                row.TimeStamp = format.dateTime(meta.modifiedMSecs);
                row.Tag = path;
                row.InitialLen = initialLen;
                row.SizeAdd = sizeAdd;
                rows.add(std::move(row));
                ++result.added;
            }
            if (progress && !progress(i, total)) {
                result.cancelled = i < total;
                break;
            }
        }
    } catch (...) {
        rows.commit(); // the rows taken in before the failure stay
        throw;
    }
    rows.commit();
    return result;
}
