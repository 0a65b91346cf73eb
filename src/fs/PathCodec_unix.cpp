#include "PathCodec.h"

namespace
{

bool isTrail(uchar b)
{
    return (b & 0xC0) == 0x80;
}

// Length of the valid UTF-8 sequence at the start of s, or 0 when it is not valid
// (overlong forms, surrogates and values above U+10FFFF are not).
qsizetype validSequence(QByteArrayView s)
{
    const uchar b0 = uchar(s[0]);
    if (b0 < 0x80)
        return 1;
    qsizetype n = 0;
    uchar low = 0x80, high = 0xBF; // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        n = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3;
        low = b0 == 0xE0 ? 0xA0 : 0x80;
        high = b0 == 0xED ? 0x9F : 0xBF;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4;
        low = b0 == 0xF0 ? 0x90 : 0x80;
        high = b0 == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (s.size() < n || uchar(s[1]) < low || uchar(s[1]) > high)
        return 0;
    for (qsizetype i = 2; i < n; ++i) {
        if (!isTrail(uchar(s[i])))
            return 0;
    }
    return n;
}

} // namespace

QByteArray encodePath(const QString &path)
{
    // At most three bytes a UTF-16 unit: a pair of units makes four.
    QByteArray out(path.size() * 3, Qt::Uninitialized);
    char *o = out.data();
    for (const char16_t *s = QStringView(path).utf16(), *end = s + path.size(); s < end;) {
        const char16_t c = *s++;
        if (c < 0x80) {
            *o++ = char(c);
        } else if (c < 0x800) {
            *o++ = char(0xC0 | c >> 6);
            *o++ = char(0x80 | (c & 0x3F));
        } else if (QChar::isHighSurrogate(c) && s < end && QChar::isLowSurrogate(*s)) {
            const char32_t u = QChar::surrogateToUcs4(c, *s++);
            *o++ = char(0xF0 | u >> 18);
            *o++ = char(0x80 | (u >> 12 & 0x3F));
            *o++ = char(0x80 | (u >> 6 & 0x3F));
            *o++ = char(0x80 | (u & 0x3F));
        } else if (c >= 0xDC80 && c <= 0xDCFF) {
            *o++ = char(c & 0xFF); // an escaped byte
        } else if (QChar::isSurrogate(c)) {
            *o++ = '\0'; // no file name holds it; systemPath refuses it
        } else {
            *o++ = char(0xE0 | c >> 12);
            *o++ = char(0x80 | (c >> 6 & 0x3F));
            *o++ = char(0x80 | (c & 0x3F));
        }
    }
    out.truncate(o - out.constData());
    return out;
}

QString decodePath(QByteArrayView bytes)
{
    qsizetype i = 0;
    for (qsizetype n; i < bytes.size() && (n = validSequence(bytes.sliced(i))) > 0;)
        i += n;
    if (i == bytes.size())
        return QString::fromUtf8(bytes); // valid UTF-8 throughout, as most names are
    QString out;
    out.reserve(bytes.size());
    i = 0;
    while (i < bytes.size()) {
        // Runs of valid UTF-8 are decoded at once.
        qsizetype end = i;
        for (qsizetype n; end < bytes.size() && (n = validSequence(bytes.sliced(end))) > 0;)
            end += n;
        if (end > i)
            out += QString::fromUtf8(bytes.sliced(i, end - i));
        if (end < bytes.size())
            out += QChar(char16_t(0xDC00 | uchar(bytes[end++])));
        i = end;
    }
    return out;
}

QByteArray encodeSystemText(const QString &text, bool)
{
    return encodePath(text);
}

QString decodeSystemText(QByteArrayView bytes, bool)
{
    return decodePath(bytes);
}
