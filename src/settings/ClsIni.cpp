#include "settings/ClsIni.h"

#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace
{

#ifdef Q_OS_WIN
constexpr char kPlatformEol[] = "\r\n";
#else
constexpr char kPlatformEol[] = "\n";
#endif

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
    QStringDecoder decode(QStringConverter::System, QStringConverter::Flag::Stateless);
    Location loc;
    qsizetype pos = 0;
    while (pos < data.size()) {
        const qsizetype nl = data.indexOf('\n', pos);
        Line line{pos, nl < 0 ? data.size() : nl, nl < 0 ? data.size() : nl + 1};
        if (line.textEnd > line.begin && data.at(line.textEnd - 1) == '\r')
            --line.textEnd;
        pos = line.end;

        const QString text =
            decode(QByteArrayView(data).sliced(line.begin, line.textEnd - line.begin));
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
QByteArray eolOf(const QByteArray &data)
{
    const qsizetype nl = data.indexOf('\n');
    if (nl < 0)
        return kPlatformEol;
    return nl > 0 && data.at(nl - 1) == '\r' ? "\r\n" : "\n";
}

bool hasLineBreak(const QString &s)
{
    return s.contains(u'\n') || s.contains(u'\r');
}

} // namespace

QString ClsIni::GetIni(const QString &wkSection, const QString &wkKey,
                       const QString &wkDefault) const
{
    if (IniName.isEmpty())
        return wkDefault;
    QFile file(IniName);
    if (!file.open(QIODevice::ReadOnly))
        return wkDefault;
    const Location loc = scan(file.readAll(), wkSection, wkKey);
    if (!loc.keyFound)
        return wkDefault;

    QStringView value = trimBlanks(QStringView(loc.text).sliced(loc.text.indexOf(u'=') + 1));
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    return value.toString();
}

bool ClsIni::PutIni(const QString &wkSection, const QString &wkKey, const QString &wkStr)
{
    if (IniName.isEmpty()) {
        m_lastError = QStringLiteral("No settings file name is set");
        return false;
    }
    // A line break would split the entry and inject lines into the file.
    if (hasLineBreak(wkSection) || hasLineBreak(wkKey) || hasLineBreak(wkStr)) {
        m_lastError = QStringLiteral("Section, key and value must not contain line breaks");
        return false;
    }

    QByteArray data;
    {
        QFile in(IniName);
        if (in.open(QIODevice::ReadOnly)) {
            data = in.readAll();
            if (in.error() != QFileDevice::NoError) {
                m_lastError = in.errorString();
                return false;
            }
        } else if (QFileInfo::exists(IniName)) {
            m_lastError = in.errorString();
            return false;
        }
    }

    QStringEncoder encode(QStringConverter::System, QStringConverter::Flag::Stateless);
    const QByteArray value = encode(wkStr);
    const QByteArray eol = eolOf(data);
    const Location loc = scan(data, wkSection, wkKey);
    QByteArray out;
    if (loc.keyFound) {
        // Keep "key =" and the blanks after it; replace the value and its trailing blanks.
        // '=' and blanks are never trail bytes of a multibyte character in the code page.
        qsizetype valueAt = data.indexOf('=', loc.anchor.begin) + 1;
        while (valueAt < loc.anchor.textEnd && isBlank(uchar(data.at(valueAt))))
            ++valueAt;
        out = data.first(valueAt) + value + data.sliced(loc.anchor.textEnd);
    } else {
        const QByteArray entry = QByteArray(encode(wkKey)) + '=' + value + eol;
        if (loc.sectionFound) {
            const qsizetype at = loc.anchor.end;
            const bool ended = data.at(at - 1) == '\n';
            out = data.first(at) + (ended ? QByteArray() : eol) + entry + data.sliced(at);
        } else {
            out = data;
            if (!out.isEmpty() && !out.endsWith('\n'))
                out += eol;
            out += '[' + QByteArray(encode(wkSection)) + ']' + eol + entry;
        }
    }

    QSaveFile file(IniName);
    if (!file.open(QIODevice::WriteOnly) || file.write(out) != out.size() || !file.commit()) {
        m_lastError = file.errorString();
        return false;
    }
    m_lastError.clear();
    return true;
}
