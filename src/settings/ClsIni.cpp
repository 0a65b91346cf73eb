#include "settings/ClsIni.h"

#include "dummy/FileError.h"
#include "dummy/PathCodec.h"
#include "dummy/UnixFile.h"

#include <QByteArrayView>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif
#ifdef Q_OS_UNIX
#include <QRandomGenerator>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

// How the file's text is encoded: UTF-8 (with bytes that are not UTF-8 kept as the
// path codec keeps them on Unix), or the ANSI code page.
enum class Encoding { Utf8, Ansi };

#ifdef Q_OS_WIN
// A file that starts with a UTF-8 byte-order mark is UTF-8 and keeps its mark; any other,
// a new one too, is in the ANSI code page. One file never mixes the two.
Encoding encodingOf(QByteArrayView data)
{
    return data.startsWith("\xEF\xBB\xBF") ? Encoding::Utf8 : Encoding::Ansi;
}
QString decodeText(QByteArrayView bytes, Encoding encoding)
{
    QStringDecoder decode(encoding == Encoding::Utf8 ? QStringConverter::Utf8
                                                     : QStringConverter::System,
                          QStringConverter::Flag::Stateless);
    return decode(bytes);
}
QByteArray encodeText(const QString &text, Encoding encoding)
{
    QStringEncoder encode(encoding == Encoding::Utf8 ? QStringConverter::Utf8
                                                     : QStringConverter::System,
                          QStringConverter::Flag::Stateless);
    return encode(text);
}
#else
Encoding encodingOf(QByteArrayView)
{
    return Encoding::Utf8;
}
QString decodeText(QByteArrayView bytes, Encoding)
{
    return decodePath(bytes);
}
QByteArray encodeText(const QString &text, Encoding)
{
    return encodePath(text);
}
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
    const Encoding encoding = encodingOf(data);
    Location loc;
    qsizetype pos = 0;
    while (pos < data.size()) {
        const qsizetype nl = data.indexOf('\n', pos);
        Line line{pos, nl < 0 ? data.size() : nl, nl < 0 ? data.size() : nl + 1};
        if (line.textEnd > line.begin && data.at(line.textEnd - 1) == '\r')
            --line.textEnd;
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
    const QByteArray eol = eolOf(data);
    const Location loc = scan(data, section, key);
    if (loc.keyFound) {
        // Keep "key =" and the blanks after it; replace the value and its trailing blanks.
        // '=' and blanks are never trail bytes of a multibyte character in the code page.
        qsizetype valueAt = data.indexOf('=', loc.anchor.begin) + 1;
        while (valueAt < loc.anchor.textEnd && isBlank(uchar(data.at(valueAt))))
            ++valueAt;
        return data.first(valueAt) + value + data.sliced(loc.anchor.textEnd);
    }
    const Encoding encoding = encodingOf(data);
    const QByteArray entry = encodeText(key, encoding) + '=' + value + eol;
    if (loc.sectionFound) {
        const qsizetype at = loc.anchor.end;
        const bool ended = data.at(at - 1) == '\n';
        return data.first(at) + (ended ? QByteArray() : eol) + entry + data.sliced(at);
    }
    QByteArray out = data;
    if (!out.isEmpty() && !out.endsWith('\n'))
        out += eol;
    return out + '[' + encodeText(section, encoding) + ']' + eol + entry;
}

enum class ReadResult { Read, Missing, Refused };

// Reads the settings file into data. Only a regular file (links followed) of at most
// kMaxFileSize bytes is read; nothing blocks on a FIFO or reads on from a device.
ReadResult readFile(const QString &name, QByteArray &data, QString &reason)
{
    data.clear();
    const std::optional<QByteArray> path = systemPath(name);
    if (!path) {
        reason = name.isEmpty() ? noNameReason() : refusedPathReason();
        return ReadResult::Refused;
    }
#ifdef Q_OS_UNIX
    const UnixFile file(::open(path->constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat st;
    if (!file.isOpen()) {
        const int error = errno;
        if (error == ENOENT && ::lstat(path->constData(), &st) != 0)
            return ReadResult::Missing; // a dangling link is not missing
        reason = error == ENOENT ? notRegularReason() : systemReason(error);
        return ReadResult::Refused;
    }
    if (::fstat(file.fd(), &st) != 0) {
        reason = systemReason(errno);
        return ReadResult::Refused;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = notRegularReason();
        return ReadResult::Refused;
    }
    // Read to the end, or to one byte past the limit for a file that grows meanwhile.
    data.resize(qMin<qint64>(st.st_size, kMaxFileSize) + 1);
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::read(file.fd(), data.data() + done, size_t(data.size() - done));
        if (n == 0)
            break;
        if (n < 0 && errno != EINTR) {
            reason = systemReason(errno);
            return ReadResult::Refused;
        }
        done += qMax<ssize_t>(n, 0);
        if (done == data.size() && done <= kMaxFileSize)
            data.resize(qMin<qsizetype>(done * 2, kMaxFileSize + 1));
    }
    if (done > kMaxFileSize) {
        reason = tooLargeReason();
        return ReadResult::Refused;
    }
    data.truncate(done);
    return ReadResult::Read;
#else
    const QFileInfo info(name);
    if (!info.exists() && !info.isSymLink())
        return ReadResult::Missing;
    if (!info.isFile() || info.size() > kMaxFileSize) {
        reason = info.isFile() ? tooLargeReason() : notRegularReason();
        return ReadResult::Refused;
    }
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        reason = file.errorString();
        return ReadResult::Refused;
    }
    data = file.read(kMaxFileSize + 1);
    if (file.error() != QFileDevice::NoError || data.size() > kMaxFileSize) {
        reason = data.size() > kMaxFileSize ? tooLargeReason() : file.errorString();
        data.clear();
        return ReadResult::Refused;
    }
    return ReadResult::Read;
#endif
}

// Replaces the file at name with content, or leaves it as it was. Every write, the
// flush to disk and the close are checked before the new file takes the old one's place.
// A read-only file (no write permission for the user, no write bit at all, or the
// read-only attribute) is someone else's to change and is never replaced.
bool replaceFile(const QString &name, const QByteArray &content, QString &reason)
{
#ifdef Q_OS_UNIX
    QByteArray target = *systemPath(name);
    // Through a link, the file it points to is replaced, as an editor would do.
    if (char *real = ::realpath(target.constData(), nullptr)) {
        target = real;
        std::free(real);
    }
    struct stat old;
    const bool existed = ::stat(target.constData(), &old) == 0;
    if (existed &&
        ((old.st_mode & 0222) == 0 ||
         (::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0 && errno == EACCES))) {
        reason = readOnlyReason();
        return false;
    }

    QByteArray temp;
    UnixFile file;
    for (int attempt = 0; !file.isOpen() && attempt < 100; ++attempt) {
        temp = target + ".tmp" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        file.reset(::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!file.isOpen() && errno != EEXIST)
            break;
    }
    if (!file.isOpen()) {
        reason = systemReason(errno);
        return false;
    }
    int error = file.writeAll(content);
    if (!error && existed && ::fchmod(file.fd(), old.st_mode & 07777) != 0)
        error = errno;
    if (!error && ::fsync(file.fd()) != 0)
        error = errno;
    if (const int closed = file.close(); closed && !error)
        error = closed;
    if (!error && ::rename(temp.constData(), target.constData()) != 0)
        error = errno;
    if (error) {
        ::unlink(temp.constData());
        reason = systemReason(error);
        return false;
    }
    return true;
#else
    const DWORD attributes = GetFileAttributesW(
        reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(name).utf16()));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        reason = readOnlyReason();
        return false;
    }
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        file.write(content) != content.size() || !file.flush() || !file.commit()) {
        reason = file.errorString();
        return false;
    }
    return true;
#endif
}

} // namespace

QString ClsIni::GetIni(const QString &wkSection, const QString &wkKey,
                       const QString &wkDefault) const
{
    QByteArray data;
    QString reason;
    if (readFile(IniName, data, reason) != ReadResult::Read)
        return wkDefault;
    const Location loc = scan(data, wkSection, wkKey);
    if (!loc.keyFound)
        return wkDefault;

    QStringView value = trimBlanks(QStringView(loc.text).sliced(loc.text.indexOf(u'=') + 1));
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    // As the system's profile functions return it: up to the first NUL.
    const qsizetype nul = value.indexOf(QChar(0));
    return (nul < 0 ? value : value.first(nul)).toString();
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
    QByteArray data;
    if (readFile(IniName, data, m_lastError) == ReadResult::Refused)
        return false;
    const Encoding encoding = encodingOf(data);
    const auto encodes = [&](const QString &text, QByteArray &bytes) {
        bytes = encodeText(text, encoding);
        return decodeText(bytes, encoding) == text;
    };
    QList<QByteArray> values;
    for (const auto &[key, value] : wkValues) {
        QByteArray sectionBytes, keyBytes, valueBytes;
        const bool held = encodes(wkSection, sectionBytes) && encodes(key, keyBytes) &&
                          encodes(quoted(value), valueBytes);
        if ((sectionBytes + keyBytes + valueBytes).contains('\0')) {
            m_lastError = QCoreApplication::translate(
                "ClsIni", "NUL など保存できない文字を含む値は保存できません。");
            return false;
        }
        if (!held) {
            m_lastError = QCoreApplication::translate(
                "ClsIni", "設定ファイルの文字コードで表せない文字を含む値は保存できません。");
            return false;
        }
        values << valueBytes;
    }

    for (qsizetype i = 0; i < wkValues.size(); ++i)
        data = withValue(data, wkSection, wkValues.at(i).first, values.at(i));
    if (!replaceFile(IniName, data, m_lastError))
        return false;
    m_lastError.clear();
    return true;
}
