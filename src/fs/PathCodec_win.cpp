#include "PathCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

QByteArray encodePath(const QString &path)
{
    return path.toUtf8();
}

QString decodePath(QByteArrayView bytes)
{
    return QString::fromUtf8(bytes);
}

namespace
{

QStringConverter::Encoding converter(bool utf8)
{
    return utf8 ? QStringConverter::Utf8 : QStringConverter::System;
}

// Whether bytes decode to text and back to the same bytes.
bool decodesCleanly(QByteArrayView bytes, bool utf8, QString &text)
{
    QStringDecoder decode(converter(utf8), QStringConverter::Flag::Stateless |
                                               QStringConverter::Flag::ConvertInitialBom);
    text = decode(bytes);
    return !decode.hasError() && encodeSystemText(text, utf8) == bytes;
}

} // namespace

QByteArray encodeSystemText(const QString &text, bool utf8)
{
    QStringEncoder encode(converter(utf8), QStringConverter::Flag::Stateless);
    return encode(text);
}

QString decodeSystemText(QByteArrayView bytes, bool utf8)
{
    QString text;
    if (decodesCleanly(bytes, utf8, text))
        return text;
    text.clear();
    QString piece;
    for (qsizetype at = 0; at < bytes.size();) {
        qsizetype n = 1; // a character takes at most 4 bytes
        while (n <= 4 &&
               (at + n > bytes.size() || !decodesCleanly(bytes.sliced(at, n), utf8, piece)))
            ++n;
        if (n > 4) {
            piece = QChar(0xDC00 + uchar(bytes.at(at)));
            n = 1;
        }
        text += piece;
        at += n;
    }
    return text;
}
