#include "DummyReader.h"

#include "fs/FileSystem.h"
#include "fs/PathCodec.h"
#include "modMain.h"

#include <QDir>
#include <QTimeZone>
#include <algorithm>
#include <limits>

namespace
{

QString fileNameOf(const QString &path)
{
    const QString p = QDir::fromNativeSeparators(path);
    return p.mid(p.lastIndexOf(QLatin1Char('/')) + 1);
}

// The number a size group's text stands for: decimal digits of any script, in runs
// split by one repeated separator (neither a digit nor a bracket) as locales group
// them: the first run of any length, the middle ones of 2 or 3 digits (Indian
// grouping), the last of 3. Empty text stands for 0.
std::optional<qint64> groupNumber(QStringView text)
{
    quint64 value = 0;
    char32_t separator = 0;
    qsizetype run = 0; // digits since the last separator
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            c = QChar::surrogateToUcs4(text[i], text[i + 1]), ++i;
        if (QChar::category(c) == QChar::Number_DecimalDigit) {
            const int digit = QChar::digitValue(c);
            if (value > (quint64(std::numeric_limits<qint64>::max()) - digit) / 10)
                return {};
            value = value * 10 + quint64(digit);
            ++run;
            continue;
        }
        const bool middle = separator != 0;
        if (run == 0 || (middle && run != 2 && run != 3) || (middle && c != separator) ||
            c == U'(' || c == U')')
            return {};
        separator = c;
        run = 0;
    }
    if (separator && run != 3)
        return {};
    return qint64(value);
}

// name without its size group, which must agree with sizeLow; size is the group's number.
std::optional<QString> withoutSizeGroup(const QString &name, quint32 sizeLow, qint64 &size)
{
    // Right before the last "."; or ending a name that had no "." (its separators may be dots).
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    qsizetype close = -1;
    if (dot > 0 && name.at(dot - 1) == QLatin1Char(')'))
        close = dot - 1;
    else if (name.endsWith(QLatin1Char(')')))
        close = name.size() - 1;
    const qsizetype open = close < 0 ? -1 : name.lastIndexOf(QLatin1Char('('), close);
    if (open < 0)
        return {};
    // At the end only when the name it was put into had no ".".
    if (close == name.size() - 1 && QStringView(name).left(open).contains(QLatin1Char('.')))
        return {};
    const std::optional<qint64> number =
        groupNumber(QStringView(name).sliced(open + 1, close - open - 1));
    if (!number || quint32(quint64(*number) & 0xFFFFFFFFu) != sizeLow)
        return {};
    size = *number;
    return name.left(open) + name.sliced(close + 1);
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

QString DummyInfo::version() const
{
    return QStringLiteral("%1.%2.%3").arg(verMajor).arg(verMinor).arg(verRevision);
}

QString DummyInfo::modifiedText() const
{
    const QDate d = modified.date();
    const QTime t = modified.time();
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", d.year(), d.month(), d.day(),
                             t.hour(), t.minute(), t.second());
}

std::optional<DummyInfo> parseDummy(QByteArrayView bytes, const QString &name, QString &reason)
{
    const auto fail = [&reason](const QString &field) {
        reason = field;
        return std::optional<DummyInfo>();
    };
    if (bytes.size() != DummyHeader::Size)
        return fail(QStringLiteral("length %1").arg(bytes.size()));
    if (bytes.first(4) != "*PBX")
        return fail(QStringLiteral("signature"));
    if (bytes[4] != 0)
        return fail(QStringLiteral("byte 4"));
    DummyInfo info;
    info.verMajor = quint8(bytes[5]);
    info.verMinor = quint8(bytes[6]);
    info.verRevision = quint8(bytes[7]);
    for (const char c : bytes.sliced(8, 8)) {
        const int digit = isDigit(c) ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0)
            return fail(QStringLiteral("size digits"));
        info.sizeLow = info.sizeLow << 4 | quint32(digit);
    }
    if (bytes.sliced(16, 4) != "    ")
        return fail(QStringLiteral("reserved bytes 16-19"));
    const QByteArrayView stamp = bytes.sliced(20, 14);
    const auto field = [&stamp](int at, int digits) { return stamp.sliced(at, digits).toInt(); };
    const QDate date(field(0, 4), field(4, 2), field(6, 2));
    const QTime time(field(8, 2), field(10, 2), field(12, 2));
    if (!std::all_of(stamp.begin(), stamp.end(), isDigit) || !date.isValid() || !time.isValid())
        return fail(QStringLiteral("time stamp"));
    info.modified = QDateTime(date, time, QTimeZone::utc());
    info.prefixLen = quint8(bytes[34]);
    if (info.prefixLen > name.size())
        return fail(QStringLiteral("prefix length"));
    if (quint8(bytes[35]) > 1)
        return fail(QStringLiteral("size flag"));
    info.sizeFlag = bytes[35] == 1;
    if (bytes.sliced(36, 4) != "    ")
        return fail(QStringLiteral("reserved bytes 36-39"));

    QString unsized = name;
    info.size = info.sizeLow;
    if (info.sizeFlag) {
        std::optional<QString> rest = withoutSizeGroup(name, info.sizeLow, info.size);
        if (!rest)
            return fail(QStringLiteral("size in name"));
        unsized = std::move(*rest);
    }
    if (info.prefixLen >= unsized.size())
        return fail(QStringLiteral("prefix length"));
    info.sourceName = unsized.sliced(info.prefixLen);
    return info;
}

std::optional<DummyInfo> readDummy(const QString &path, QString &reason)
{
    const std::optional<NativePath> native = NativePath::from(path);
    if (!native) {
        reason = refusedPathReason();
        return {};
    }
    const FileRead read = readRegularFile(*native, DummyHeader::Size);
    switch (read.status) {
    case FileRead::Status::Read:
        return parseDummy(read.data, fileNameOf(path), reason);
    case FileRead::Status::TooLarge:
        reason = QStringLiteral("length %1").arg(read.size);
        break;
    case FileRead::Status::NotRegular:
        reason = QStringLiteral("not a file");
        break;
    case FileRead::Status::Missing:
    case FileRead::Status::Failed:
        reason = read.error.text();
        break;
    }
    return {};
}
