#include "Intake.h"

#include "MakeList.h"
#include "fs/FileStat.h"

#include <QDir>
#include <algorithm>

namespace
{

// Whether prefix holds a character not allowed in a file name, so that the dummy would
// go into another folder, or (on Windows) into a stream or a device; or a byte that is
// not UTF-8 (a lone surrogate), which would join the name's first bytes into another
// character.
bool hasBadNameCharacter(const QString &prefix)
{
#ifdef Q_OS_WIN
    const QStringView bad = u"\\/:*?\"<>|";
#else
    const QStringView bad = u"/";
#endif
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        const QChar c = prefix.at(i);
        if (c.isHighSurrogate() && i + 1 < prefix.size() && prefix.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.unicode() < 0x20 || c.isSurrogate() || bad.contains(c))
            return true;
    }
    return false;
}

// Whether folder names one place whatever the current folder is: on Windows "X:\..."
// or "\\server\share" ("C:x" and "\x" lean on the current folder of a drive).
bool isFullPath(const QString &folder)
{
#ifdef Q_OS_WIN
    const auto separatorAt = [&](qsizetype i) {
        return folder.size() > i && (folder.at(i) == u'\\' || folder.at(i) == u'/');
    };
    const char16_t drive = folder.isEmpty() ? 0 : folder.at(0).toUpper().unicode();
    return (drive >= u'A' && drive <= u'Z' && folder.size() > 1 && folder.at(1) == u':' &&
            separatorAt(2)) ||
           (separatorAt(0) && separatorAt(1));
#else
    return folder.startsWith(QLatin1Char('/'));
#endif
}

// A size in brackets as a name carries it: "(#,###)", with the locale's digits and
// group separators; "()" for 0.
//
// The locale's text of a number differs from that of another of as many digits only
// in the digits, so the text of 10^(k-1) is kept for each count k and its digits are
// replaced; a locale whose digits take two UTF-16 units is asked each time.
class SizeText
{
public:
    explicit SizeText(const QLocale &locale) : m_locale(locale)
    {
        m_locale.setNumberOptions(m_locale.numberOptions() & ~QLocale::OmitGroupSeparator);
        const QString zero = m_locale.zeroDigit();
        m_zero = zero.size() == 1 ? zero.at(0).unicode() : 0;
        qint64 power = 1;
        for (qsizetype k = 1; k < MaxDigits && m_zero != 0; ++k, power *= 10) {
            m_forms[k] = m_locale.toString(power);
            const auto digits = std::count_if(m_forms[k].cbegin(), m_forms[k].cend(),
                                              [this](QChar c) { return isDigit(c); });
            if (digits != k)
                m_zero = 0;
        }
    }

    // Valid until the next call.
    QStringView bracketed(qint64 size)
    {
        m_text.resize(0);
        m_text += QLatin1Char('(');
        char16_t digits[MaxDigits]; // from the last
        qsizetype count = 0;
        for (qint64 rest = size; rest > 0 && count < MaxDigits; rest /= 10)
            digits[count++] = char16_t(m_zero + rest % 10);
        if (size != 0 && (m_zero == 0 || count >= MaxDigits || size < 0)) {
            m_text += m_locale.toString(size);
        } else {
            for (const QChar c : std::as_const(m_forms[count])) // none for 0
                m_text += isDigit(c) ? QChar(digits[--count]) : c;
        }
        m_text += QLatin1Char(')');
        return m_text;
    }

private:
    static constexpr qsizetype MaxDigits = 19; // 10^18 is the largest power a qint64 holds
    bool isDigit(QChar c) const { return c.unicode() == m_zero || c.unicode() == m_zero + 1; }

    QLocale m_locale;
    char16_t m_zero = 0; // 0 when the locale is asked each time
    QString m_forms[MaxDigits];
    QString m_text;
};

} // namespace

IntakeResult AddDroppedFiles(MakeList &list, const MakeOptions &options, const QStringList &Paths,
                             const QLocale &locale, const Progress &progress)
{
    IntakeResult result;
    const QString outPath = TrimSpaces(options.OutPath);
    if (!options.SameFolder && outPath.isEmpty()) {
        result.outcome = IntakeResult::NoOutputFolder;
        return result;
    }
    if (!options.SameFolder && !isFullPath(outPath)) {
        result.outcome = IntakeResult::RelativeOutputFolder;
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
    SizeText sizeText(locale);
    const qsizetype total = Paths.size() - 1;
    // The last "." of a name the prefix alone gives, for bases without one.
    const qsizetype prefixDot = prefix.lastIndexOf(QLatin1Char('.'));

    list.setLocale(locale);
    MakeList::Appender rows(list, total);
    // Each row is looked up in the list after the next row's file has been looked at:
    // the system call leaves time to fetch the key's place in the index.
    struct Prepared {
        qsizetype at = 0; // in Paths; 0 for none
        QString folder;
        QString name; // built in the same buffer each time
        FileStat meta;
        bool haveMeta = false;
        quint16 extLen = 0;
    };
    Prepared next, ready;
    const auto take = [&] {
        const qsizetype at = std::exchange(ready.at, 0);
        if (const MakeItem *holder = rows.find(ready.folder, ready.name)) {
            ++result.duplicates;
            if (holder->Tag != Paths.at(at) && ++result.collisions <= result.MaxCollidedPaths)
                result.collidedPaths << Paths.at(at);
            return;
        }
        if (!ready.haveMeta)
            ready.meta = statFile(Paths.at(at));
        MakeItem row;
        row.FilePath = ready.folder;
        row.FileName = QString(ready.name.constData(), ready.name.size());
        row.Tag = Paths.at(at);
        row.Size = ready.meta.size;
        row.ModifiedMSecs = ready.meta.modifiedMSecs;
        row.InitialLen = initialLen;
        row.SizeAdd = sizeAdd;
        row.ExtLen = ready.extLen;
        rows.add(std::move(row));
        ++result.added;
    };
    try {
        QString folder; // kept between rows so rows of one folder share its text
        for (qsizetype i = 1; i <= total + 1; ++i) {
            if (i <= total) {
                const QString &path = Paths.at(i);
                // The last separator, and the last "." after it, in one pass.
                qsizetype cut = path.size(), lastDot = -1;
                while (--cut >= 0 && path.at(cut) != separator) {
                    if (lastDot < 0 && path.at(cut) == QLatin1Char('.'))
                        lastDot = cut;
                }
                if (!options.SameFolder) {
                    folder = outPath;
                } else if (cut == 0) {
                    folder = QString(separator); // directly under the root
                } else if (QStringView(folder) != QStringView(path).left(qMax<qsizetype>(cut, 0))) {
                    folder = path.left(qMax<qsizetype>(cut, 0));
                }
                const QStringView base = QStringView(path).mid(cut + 1);
                const qsizetype baseDot = lastDot < 0 ? -1 : lastDot - cut - 1;
                next.name.resize(0);
                next.name.append(prefix).append(base);
                next.haveMeta = sizeAdd;
                if (sizeAdd) {
                    next.meta = statFile(path);
                    // The size goes before the last "." of prefix + base, or at the end.
                    const qsizetype dot = baseDot >= 0 ? prefix.size() + baseDot : prefixDot;
                    next.name.insert(dot < 0 ? next.name.size() : dot,
                                     sizeText.bracketed(next.meta.size));
                }
                // No file system takes a name this long; its stat fails.
                next.extLen = quint16(baseDot < 0 ? 0 : base.size() - baseDot - 1);
                next.folder = folder;
                next.at = i;
                rows.prefetch(next.folder, next.name);
            }
            if (ready.at != 0) {
                const qsizetype done = ready.at;
                take();
                if (progress && !progress(done, total)) {
                    result.cancelled = done < total;
                    break;
                }
            }
            std::swap(next, ready);
        }
    } catch (...) {
        // The rows taken in before the failure stay; the one ready had passed its stat.
        if (ready.at != 0 && sizeAdd)
            take();
        rows.commit();
        throw;
    }
    rows.commit();
    return result;
}
