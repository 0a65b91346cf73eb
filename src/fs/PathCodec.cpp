#include "PathCodec.h"

#include <QCoreApplication>
#include <QDir>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

std::optional<QByteArray> systemPath(const QString &path)
{
    QByteArray bytes = encodePath(path);
    if (bytes.isEmpty() || bytes.contains('\0'))
        return std::nullopt;
    return bytes;
}

QString refusedPathReason()
{
    return QCoreApplication::translate(
        "PathCodec", "パスにファイル名に使えない文字（NUL など）が含まれています。");
}

QString displayPath(const QString &text)
{
    qsizetype i = 0;
    const auto lone = [&](qsizetype at) {
        const char16_t c = text.at(at).unicode();
        if (QChar::isHighSurrogate(c))
            return at + 1 >= text.size() || !QChar::isLowSurrogate(text.at(at + 1).unicode());
        return QChar::isLowSurrogate(c) &&
               (at == 0 || !QChar::isHighSurrogate(text.at(at - 1).unicode()));
    };
    while (i < text.size() && !lone(i))
        ++i;
    if (i == text.size())
        return text;
    QString out = text;
    for (; i < out.size(); ++i) {
        if (lone(i))
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

QString linkTargetFolder(const QString &linkPath)
{
#ifdef Q_OS_UNIX
    const std::optional<QByteArray> link = systemPath(linkPath);
    if (!link)
        return {};
    QByteArray target(256, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::readlink(link->constData(), target.data(), size_t(target.size()));
        if (n < 0)
            return {};
        if (n < target.size()) {
            target.truncate(n);
            break;
        }
        target.resize(target.size() * 2);
    }
    const qsizetype slash = target.lastIndexOf('/');
    if (slash < 0)
        return {};
    return decodePath(slash == 0 ? QByteArrayView("/") : QByteArrayView(target).first(slash));
#else
    Q_UNUSED(linkPath);
    return {};
#endif
}

QString executableFolder()
{
#ifdef Q_OS_LINUX
    const QString folder = linkTargetFolder(QStringLiteral("/proc/self/exe"));
    if (!folder.isEmpty())
        return folder;
#endif
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}
