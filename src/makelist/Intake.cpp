#include "Intake.h"

#include "MakeList.h"
#include "fs/FileSystem.h"
#include "fs/PathInput.h"

#include <QDir>
#include <algorithm>

namespace
{

// What no name on Windows holds besides control characters.
constexpr QStringView NotInWindowsNames = u"\\/:*?\"<>|";

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F);
}

// Whether prefix holds a character not allowed in a file name, so that the dummy would
// go into another folder, or (on Windows) into a stream or a device; a control character;
// or a byte that is not UTF-8 (a lone surrogate), which would join the name's first bytes
// into another character.
bool hasBadNameCharacter(const QString &prefix)
{
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        const QChar c = prefix.at(i);
        if (c.isHighSurrogate() && i + 1 < prefix.size() && prefix.at(i + 1).isLowSurrogate())
            ++i;
        else if (isControl(c) || c.isSurrogate() || NotInNames.contains(c))
            return true;
    }
    return false;
}

} // namespace

// The group separator a size in a name is written with: group, or "," when group holds a
// character a name cannot hold on some system (a user may set any on Windows).
static QString nameGroupSeparator(const QString &group)
{
    const bool allowed = std::none_of(group.cbegin(), group.cend(), [](QChar c) {
        return isControl(c) || c.isSurrogate() || NotInWindowsNames.contains(c);
    });
    return allowed ? group : QStringLiteral(",");
}

SizeText::SizeText(const QLocale &locale, const QString &group)
    : m_locale(locale), m_localeGroup(locale.groupSeparator()), m_group(nameGroupSeparator(group))
{
    m_locale.setNumberOptions(m_locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    const QString zero = m_locale.zeroDigit();
    m_zero = zero.size() == 1 ? zero.at(0).unicode() : 0;
    qint64 power = 1;
    for (qsizetype k = 1; k < MaxDigits && m_zero != 0; ++k, power *= 10) {
        m_forms[k] = grouped(power);
        const auto digits = std::count_if(m_forms[k].cbegin(), m_forms[k].cend(),
                                          [this](QChar c) { return isDigit(c); });
        if (digits != k)
            m_zero = 0;
    }
}

QString SizeText::grouped(qint64 size) const
{
    QString text = m_locale.toString(size);
    return m_localeGroup.isEmpty() || m_localeGroup == m_group
               ? text
               : text.replace(m_localeGroup, m_group);
}

QStringView SizeText::bracketed(qint64 size)
{
    m_text.resize(0);
    m_text += QLatin1Char('(');
    char16_t digits[MaxDigits]; // from the last
    qsizetype count = 0;
    for (qint64 rest = size; rest > 0 && count < MaxDigits; rest /= 10)
        digits[count++] = char16_t(m_zero + rest % 10);
    if (size != 0 && (m_zero == 0 || count >= MaxDigits || size < 0)) {
        m_text += grouped(size);
    } else {
        for (const QChar c : std::as_const(m_forms[count])) // none for 0
            m_text += isDigit(c) ? QChar(digits[--count]) : c;
    }
    m_text += QLatin1Char(')');
    return m_text;
}

namespace
{

// A dummy's folder and name for each path, by the checked options; the texts are
// kept between paths, so that rows of one folder share the folder's text.
class Namer
{
public:
    Namer(const MakeOptions &options, const QString &outPath, const QString &prefix,
          const QLocale &locale)
        : m_sameFolder(options.SameFolder), m_sizeAdd(options.SizeCheck == SizeCheckState::On),
          m_prefix(prefix), m_prefixDot(prefix.lastIndexOf(QLatin1Char('.'))),
          m_sizeText(locale, locale.groupSeparator()), m_folder(outPath)
    {
    }

    bool sizeAdd() const { return m_sizeAdd; }
    // The row for path, of size bytes when the name carries the size.
    void name(const QString &path, qint64 size);
    const QString &folder() const { return m_folder; }
    QStringView name() const { return m_name; }
    MakeItem row(const QString &path, const FileStat &meta) const;

private:
    const bool m_sameFolder, m_sizeAdd;
    const QString m_prefix;
    const qsizetype m_prefixDot; // the last "." the prefix alone gives, for bases without one
    SizeText m_sizeText;
    QString m_folder;
    QString m_name; // built in the same buffer each time
    quint16 m_extLen = 0;
};

void Namer::name(const QString &path, qint64 size)
{
    const QChar separator = QDir::separator();
    // The last separator, and the last "." after it, in one pass.
    qsizetype cut = path.size(), lastDot = -1;
    while (--cut >= 0 && path.at(cut) != separator) {
        if (lastDot < 0 && path.at(cut) == QLatin1Char('.'))
            lastDot = cut;
    }
    if (m_sameFolder && cut == 0)
        m_folder = QString(separator); // directly under the root
    else if (m_sameFolder &&
             QStringView(m_folder) != QStringView(path).left(qMax<qsizetype>(cut, 0)))
        m_folder = path.left(qMax<qsizetype>(cut, 0));
    const QStringView base = QStringView(path).mid(cut + 1);
    const qsizetype baseDot = lastDot < 0 ? -1 : lastDot - cut - 1;
    m_name.resize(0);
    m_name.append(m_prefix).append(base);
    if (m_sizeAdd) {
        // The size goes before the last "." of prefix + base, or at the end.
        const qsizetype dot = baseDot >= 0 ? m_prefix.size() + baseDot : m_prefixDot;
        m_name.insert(dot < 0 ? m_name.size() : dot, m_sizeText.bracketed(size));
    }
    // No file system takes a name this long; its stat fails.
    m_extLen = quint16(baseDot < 0 ? 0 : base.size() - baseDot - 1);
}

MakeItem Namer::row(const QString &path, const FileStat &meta) const
{
    MakeItem row;
    row.FilePath = m_folder;
    row.FileName = QString(m_name.constData(), m_name.size());
    row.Tag = path;
    row.Size = meta.size;
    row.ModifiedMSecs = meta.modifiedMSecs;
    row.InitialLen = int(m_prefix.size());
    row.SizeAdd = m_sizeAdd;
    row.ExtLen = m_extLen;
    return row;
}

// Added, or why options name no dummy; outPath and prefix are set as the rows take them.
IntakeResult::Outcome checkOptions(const MakeOptions &options, QString &outPath, QString &prefix)
{
    outPath = TrimSpaces(options.OutPath);
    if (!options.SameFolder && outPath.isEmpty())
        return IntakeResult::NoOutputFolder;
    if (!options.SameFolder && !isFullPath(outPath))
        return IntakeResult::RelativeOutputFolder;
    const QString trimmed = TrimSpaces(options.Initial);
    if (trimmed.size() > MaxPrefixLength)
        return IntakeResult::PrefixTooLong;
    if (hasBadNameCharacter(trimmed))
        return IntakeResult::PrefixBadCharacter;
    prefix = trimmed.isEmpty() ? DefaultPrefix : trimmed;
    return IntakeResult::Added;
}

} // namespace

IntakeResult AddDroppedFiles(MakeList &list, const MakeOptions &options, const QStringList &Paths,
                             const QLocale &locale, const Progress &progress)
{
    IntakeResult result;
    QString outPath, prefix;
    result.outcome = checkOptions(options, outPath, prefix);
    if (result.outcome != IntakeResult::Added)
        return result;
    const qsizetype total = Paths.size() - 1;
    Namer namer(options, options.SameFolder ? QString() : outPath, prefix, locale);
    list.setLocale(locale);
    MakeList::Appender rows(list, total);
    try {
        for (qsizetype i = 1; i <= total; ++i) {
            const QString &path = Paths.at(i);
            // A name without the size needs no look at the source; a duplicate none at all.
            std::optional<FileStat> meta;
            if (namer.sizeAdd())
                meta = statFile(path);
            namer.name(path, meta ? meta->size : 0);
            if (const MakeItem *holder = rows.find(namer.folder(), namer.name())) {
                ++result.duplicates;
                if (!samePath(holder->Tag, path) && ++result.collisions <= result.MaxCollidedPaths)
                    result.collidedPaths << path;
            } else {
                rows.add(namer.row(path, meta ? *meta : statFile(path)));
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
