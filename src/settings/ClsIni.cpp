#include "settings/ClsIni.h"

#include "fs/FileSystem.h"
#include "fs/PathCodec.h"

#include <QByteArrayView>
#include <QCoreApplication>
#include <QStringDecoder>
#include <algorithm>

namespace
{

#ifdef Q_OS_WIN
constexpr char kPlatformEol[] = "\r\n";
#else
constexpr char kPlatformEol[] = "\n";
#endif

// Far above any real settings file; a larger one is neither read nor replaced.
constexpr qint64 kMaxFileSize = 16 << 20;

QString noNameReason()
{
    return QCoreApplication::translate("ClsIni", "設定ファイルの名前が決まっていません。");
}
QString notRegularReason()
{
    return QCoreApplication::translate(
        "ClsIni", "設定ファイルの場所にあるのは通常のファイルではありません。");
}
QString readOnlyReason()
{
    return QCoreApplication::translate("ClsIni", "設定ファイルは読み取り専用です。");
}
QString tooLargeReason()
{
    return QCoreApplication::translate("ClsIni",
                                       "設定ファイルが大きすぎます（16 MiB を超えています）。");
}

// How the file's text is encoded: UTF-16 LE, UTF-8 or the ANSI code page (on Unix UTF-8
// with bytes that are not UTF-8 kept as the path codec keeps them).
enum class Encoding { Ansi, Utf8, Utf16 };

// Bytes a code unit takes.
int unitOf(Encoding encoding)
{
    return encoding == Encoding::Utf16 ? 2 : 1;
}

// A file that starts with a byte-order mark is in that mark's encoding and keeps it; any
// other, a new one too, is in the ANSI code page, unless it is UTF-8 throughout with
// characters beyond ASCII, as Notepad saves it (on Unix the code page is UTF-8). One file never
// mixes encodings.
Encoding encodingOf(QByteArrayView data)
{
    if (data.startsWith("\xFF\xFE"))
        return Encoding::Utf16;
    if (data.startsWith("\xEF\xBB\xBF"))
        return Encoding::Utf8;
    if (std::any_of(data.begin(), data.end(), [](char c) { return uchar(c) >= 0x80; })) {
        QStringDecoder decode(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        const QString text = decode(data);
        if (!decode.hasError())
            return Encoding::Utf8;
    }
    return Encoding::Ansi;
}

QByteArray encodeText(const QString &text, Encoding encoding)
{
    if (encoding == Encoding::Utf16) { // code units as they are, lone surrogates too
        QByteArray bytes;
        bytes.reserve(text.size() * 2);
        for (const QChar c : text)
            bytes.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
        return bytes;
    }
    return encodeSystemText(text, encoding == Encoding::Utf8);
}

// bytes as text. A byte that is no part of a character (in UTF-16 a last odd byte) becomes
// the lone surrogate U+DC00 + byte, which no prefix takes and no save writes.
QString decodeText(QByteArrayView bytes, Encoding encoding)
{
    QString text;
    if (encoding == Encoding::Utf16) {
        for (qsizetype at = 0; at + 1 < bytes.size(); at += 2)
            text += QChar(char16_t(uchar(bytes.at(at)) | uchar(bytes.at(at + 1)) << 8));
        return bytes.size() % 2 ? text + QChar(0xDC00 + uchar(bytes.back())) : text;
    }
    return decodeSystemText(bytes, encoding == Encoding::Utf8);
}

// Whether data holds the code unit c (ASCII) at pos.
bool unitAt(QByteArrayView data, qsizetype pos, char c, int unit)
{
    return pos >= 0 && pos + unit <= data.size() && data.at(pos) == c &&
           (unit == 1 || data.at(pos + 1) == 0);
}

// Where the first code unit c (ASCII) at or after from is; -1 when there is none.
qsizetype findUnit(const QByteArray &data, char c, qsizetype from, int unit)
{
    for (qsizetype at = data.indexOf(c, from); at >= 0; at = data.indexOf(c, at + 1)) {
        if (at % unit == 0 && unitAt(data, at, c, unit))
            return at;
    }
    return -1;
}

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

QStringView trimBlanks(QStringView s)
{
    while (!s.isEmpty() && isBlank(s.front().unicode()))
        s = s.sliced(1);
    while (!s.isEmpty() && isBlank(s.back().unicode()))
        s.chop(1);
    return s;
}

// One line of the raw file: [begin, textEnd) is its text, [textEnd, end) its line ending.
struct Line {
    qsizetype begin = 0;
    qsizetype textEnd = 0;
    qsizetype end = 0;
};

// What scan() found for a section and key.
struct Location {
    bool sectionFound = false;
    bool keyFound = false;
    // The key line when keyFound; otherwise the section's last key line, or its header.
    Line anchor;
    // Decoded text of the key line.
    QString text;
};

// Walks the raw lines, decoding each only to classify it, up to the key in the
// first section named `section`, or to the end of that section.
Location scan(const QByteArray &data, const QString &section, const QString &key)
{
    const Encoding encoding = encodingOf(data);
    const int unit = unitOf(encoding);
    Location loc;
    qsizetype pos = 0;
    while (pos < data.size()) {
        const qsizetype nl = findUnit(data, '\n', pos, unit);
        Line line{pos, nl < 0 ? data.size() : nl, nl < 0 ? data.size() : nl + unit};
        if (line.textEnd - unit >= line.begin && unitAt(data, line.textEnd - unit, '\r', unit))
            line.textEnd -= unit;
        pos = line.end;

        QString text = decodeText(
            QByteArrayView(data).sliced(line.begin, line.textEnd - line.begin), encoding);
        if (line.begin == 0 && text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1); // a byte-order mark
        const QStringView t = trimBlanks(text);
        if (t.isEmpty() || t.front() == u';' || t.front() == u'#')
            continue;
        if (t.front() == u'[') {
            if (loc.sectionFound)
                break;
            const qsizetype close = t.indexOf(u']');
            const QStringView name = trimBlanks(t.sliced(1, (close < 0 ? t.size() : close) - 1));
            if (name.compare(section, Qt::CaseInsensitive) == 0) {
                loc.sectionFound = true;
                loc.anchor = line;
            }
            continue;
        }
        const qsizetype eq = t.indexOf(u'=');
        if (!loc.sectionFound || eq < 0)
            continue;
        loc.anchor = line;
        if (trimBlanks(t.first(eq)).compare(key, Qt::CaseInsensitive) == 0) {
            loc.keyFound = true;
            loc.text = text;
            break;
        }
    }
    return loc;
}

// The file's own line ending, taken from its first line break.
QString eolOf(const QByteArray &data, int unit)
{
    const qsizetype nl = findUnit(data, '\n', 0, unit);
    if (nl < 0)
        return QString::fromLatin1(kPlatformEol);
    return unitAt(data, nl - unit, '\r', unit) ? QStringLiteral("\r\n") : QStringLiteral("\n");
}

bool hasLineBreak(const QString &s)
{
    return s.contains(u'\n') || s.contains(u'\r');
}

// value as written to the file: inside one more pair of double quotes when the reader
// would otherwise take off its surrounding blanks or its own pair of quotes.
QString quoted(const QString &value)
{
    const bool blankEnds =
        !value.isEmpty() && (isBlank(value.front().unicode()) || isBlank(value.back().unicode()));
    const bool quoteEnds = value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
                           value.back() == value.front();
    return blankEnds || quoteEnds ? u'"' + value + u'"' : value;
}

// data with value as the value of key in section, creating the section or key as needed.
QByteArray withValue(const QByteArray &data, const QString &section, const QString &key,
                     const QByteArray &value)
{
    const Encoding encoding = encodingOf(data);
    const int unit = unitOf(encoding);
    const QByteArray eol = encodeText(eolOf(data, unit), encoding);
    const Location loc = scan(data, section, key);
    if (loc.keyFound) {
        // Keep "key =" and the blanks after it; replace the value and its trailing blanks.
        // '=' and blanks are never trail bytes of a multibyte character in the code page.
        qsizetype valueAt = findUnit(data, '=', loc.anchor.begin, unit) + unit;
        while (valueAt < loc.anchor.textEnd &&
               (unitAt(data, valueAt, ' ', unit) || unitAt(data, valueAt, '\t', unit)))
            valueAt += unit;
        return data.first(valueAt) + value + data.sliced(loc.anchor.textEnd);
    }
    const QByteArray entry = encodeText(key + u'=', encoding) + value + eol;
    if (loc.sectionFound) {
        const qsizetype at = loc.anchor.end;
        const bool ended = unitAt(data, at - unit, '\n', unit);
        return data.first(at) + (ended ? QByteArray() : eol) + entry + data.sliced(at);
    }
    QByteArray out = data;
    if (!out.isEmpty() && !unitAt(out, out.size() - unit, '\n', unit))
        out += eol;
    return out + encodeText(u'[' + section + u']', encoding) + eol + entry;
}

// The value of a key line's text, as the system's profile functions give it: surrounding
// blanks and one pair of surrounding quotes taken off, up to the first NUL.
QString valueOf(const QString &text)
{
    QStringView value = trimBlanks(QStringView(text).sliced(text.indexOf(u'=') + 1));
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    const qsizetype nul = value.indexOf(QChar(0));
    return (nul < 0 ? value : value.first(nul)).toString();
}

enum class ReadResult { Read, Missing, Refused };

// Reads the settings file into data. Only a regular file (links followed) of at most
// kMaxFileSize bytes is read; nothing blocks on a FIFO or reads on from a device.
ReadResult readFile(const QString &name, QByteArray &data, QString &reason)
{
    data.clear();
    const std::optional<NativePath> path = NativePath::from(name);
    if (!path) {
        reason = name.isEmpty() ? noNameReason() : refusedPathReason();
        return ReadResult::Refused;
    }
    FileRead read = readRegularFile(*path, kMaxFileSize);
    switch (read.status) {
    case FileRead::Status::Read:
        data = std::move(read.data);
        return ReadResult::Read;
    case FileRead::Status::Missing:
        return ReadResult::Missing;
    case FileRead::Status::NotRegular:
        reason = notRegularReason();
        break;
    case FileRead::Status::TooLarge:
        reason = tooLargeReason();
        break;
    case FileRead::Status::Failed:
        reason = read.error.text();
        break;
    }
    return ReadResult::Refused;
}

// Replaces the file at name, which held old, with content, or leaves it as it was
// (FileSystem.h's replaceFile). Returns why not; empty when replaced.
QString replaceFile(const QString &name, const QByteArray &old, const QByteArray &content)
{
    const std::optional<NativePath> path = NativePath::from(name);
    if (!path)
        return refusedPathReason();
    const Replaced replaced = replaceFile(*path, old, content);
    const QString reason = replaced.error.text();
    switch (replaced.status) {
    case Replaced::Status::Done:
        return {};
    case Replaced::Status::ReadOnly:
        return readOnlyReason();
    case Replaced::Status::AttributesLost:
        return QCoreApplication::translate(
                   "ClsIni", "保存しましたが、隠し属性・システム属性を戻せませんでした: %1")
            .arg(reason);
    case Replaced::Status::Damaged:
        return reason + QCoreApplication::translate("ClsIni", "（元の内容に戻せませんでした: %1）")
                            .arg(replaced.restoreError.text());
    case Replaced::Status::Failed:
        break;
    }
    return replaced.restored
               ? reason + QCoreApplication::translate("ClsIni", "（元の内容に戻しました。）")
               : reason;
}

} // namespace

QString ClsIni::GetIni(const QString &wkSection, const QString &wkKey,
                       const QString &wkDefault) const
{
    QByteArray data;
    QString reason;
    const ReadResult read = readFile(IniName, data, reason);
    if (read == ReadResult::Refused && !IniName.isEmpty() && m_readError.isEmpty())
        m_readError = reason;
    if (read != ReadResult::Read)
        return wkDefault;
    const Location loc = scan(data, wkSection, wkKey);
    return loc.keyFound ? valueOf(loc.text) : wkDefault;
}

bool ClsIni::PutIni(const QString &wkSection, const QString &wkKey, const QString &wkStr)
{
    return PutIni(wkSection, {{wkKey, wkStr}});
}

bool ClsIni::PutIni(const QString &wkSection, const QList<QPair<QString, QString>> &wkValues)
{
    // A line break would split the entry and inject lines into the file; a NUL, or a
    // character the file's encoding cannot hold, would not read back.
    for (const auto &[key, value] : wkValues) {
        if (hasLineBreak(wkSection) || hasLineBreak(key) || hasLineBreak(value)) {
            m_lastError = QCoreApplication::translate("ClsIni", "改行を含む値は保存できません。");
            return false;
        }
    }
    if (!m_readError.isEmpty()) {
        m_lastError = m_readError;
        return false;
    }
    QByteArray data;
    if (readFile(IniName, data, m_lastError) == ReadResult::Refused) {
        if (!IniName.isEmpty())
            m_readError = m_lastError;
        return false;
    }
    const QByteArray old = data;
    const Encoding encoding = encodingOf(data);
    const auto encodes = [&](const QString &text, QByteArray &bytes) {
        bytes = encodeText(text, encoding);
        return decodeText(bytes, encoding) == text;
    };
    for (const auto &[key, value] : wkValues) {
        const Location loc = scan(data, wkSection, key);
        if (loc.keyFound && valueOf(loc.text) == value)
            continue; // the line stays as it is, byte for byte
        QByteArray sectionBytes, keyBytes, valueBytes;
        const bool representable = encodes(wkSection, sectionBytes) && encodes(key, keyBytes) &&
                                   encodes(quoted(value), valueBytes);
        if (encoding == Encoding::Utf16 ? (wkSection + key + value).contains(QChar(0))
                                        : (sectionBytes + keyBytes + valueBytes).contains('\0')) {
            m_lastError = QCoreApplication::translate(
                "ClsIni", "NUL など保存できない文字を含む値は保存できません。");
            return false;
        }
        if (!representable) {
            m_lastError = QCoreApplication::translate(
                "ClsIni", "設定ファイルの文字コードで表せない文字を含む値は保存できません。");
            return false;
        }
        data = withValue(data, wkSection, key, valueBytes);
    }
    if (data != old && !(m_lastError = replaceFile(IniName, old, data)).isEmpty())
        return false;
    m_lastError.clear();
    return true;
}
