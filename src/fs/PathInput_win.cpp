#include "PathInput.h"

#include <QCoreApplication>
#include <QDir>
#include <QUrl>
#include <qt_windows.h>
#include <string>

namespace
{

bool isSeparator(QChar c)
{
    return c == QLatin1Char('\\') || c == QLatin1Char('/');
}

bool hasDrive(QStringView path)
{
    const char16_t letter = path.isEmpty() ? 0 : (path.at(0).unicode() | 0x20);
    return path.size() >= 2 && letter >= u'a' && letter <= u'z' && path.at(1) == QLatin1Char(':');
}

// "\\?\" and "\\.\" paths go to the system as they are.
bool isVerbatim(const QString &path)
{
    return path.size() >= 4 && isSeparator(path.at(0)) && isSeparator(path.at(1)) &&
           (path.at(2) == QLatin1Char('?') || path.at(2) == QLatin1Char('.')) &&
           isSeparator(path.at(3));
}

// What the system makes of a short relative form: "C:" that drive's current folder (the
// environment's "=C:"), "\" the current drive's root, "." the current folder.
QString systemFullPath(const wchar_t *form)
{
    const DWORD needed = GetFullPathNameW(form, 0, nullptr, nullptr);
    std::wstring buffer(needed, L'\0');
    const DWORD n = needed ? GetFullPathNameW(form, needed, buffer.data(), nullptr) : 0;
    return n > 0 && n < needed ? QString::fromWCharArray(buffer.data(), int(n)) : QString();
}

// The long form of a path that may hold 8.3 short names ("Send to" passes them; a drop
// gives the long ones), or path itself when it cannot be told.
QString longName(const QString &path)
{
    const std::wstring given = path.toStdWString();
    const DWORD needed = GetLongPathNameW(given.c_str(), nullptr, 0);
    if (needed == 0)
        return path;
    std::wstring buffer(needed, L'\0');
    const DWORD length = GetLongPathNameW(given.c_str(), buffer.data(), needed);
    return length > 0 && length < needed ? QString::fromWCharArray(buffer.data(), int(length))
                                         : path;
}

} // namespace

QStringList programArguments(int, const char *const *)
{
    return QCoreApplication::arguments();
}

QString argumentPath(const QString &argument)
{
    if (argument.isEmpty() || isVerbatim(argument))
        return argument;
    QString path = QDir::fromNativeSeparators(argument);
    if (!isFullPath(path)) {
        // What "C:", "\" or "." is here, and the rest after it.
        const qsizetype from = hasDrive(path) ? 2 : path.startsWith(u'/') ? 1 : 0;
        const std::wstring form = from == 2 ? path.left(2).toStdWString() : from ? L"\\" : L".";
        const QString base = systemFullPath(form.c_str());
        if (base.isEmpty())
            return QDir::toNativeSeparators(argument);
        path = QDir::fromNativeSeparators(base) + QLatin1Char('/') + path.mid(from);
    }
    return longName(QDir::toNativeSeparators(QDir::cleanPath(path)));
}

QString decodeFileUrl(const QUrl &url)
{
    if (!url.isLocalFile())
        return {};
    QString host = url.host();
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        host.clear();
    QString path = url.path(QUrl::FullyDecoded);
    if (!host.isEmpty())
        path = QLatin1String("//") + host + path;
    else if (path.startsWith(QLatin1Char('/')) && hasDrive(QStringView(path).mid(1)))
        path.remove(0, 1); // "/C:/x"
    return isFullPath(path) && !path.contains(QChar(0)) ? QDir::toNativeSeparators(path)
                                                        : QString();
}

QUrl fileUrl(const QString &path)
{
    return QUrl::fromLocalFile(path);
}

bool isFullPath(const QString &path)
{
    return (hasDrive(path) && path.size() > 2 && isSeparator(path.at(2))) ||
           (path.size() > 1 && isSeparator(path.at(0)) && isSeparator(path.at(1)));
}

QString typedFolderPath(const QString &typed)
{
    const QString folder = TrimSpaces(typed);
    if (isVerbatim(folder))
        return folder;
    if (!isFullPath(folder))
        return typed;
    return QDir::toNativeSeparators(QDir::cleanPath(QDir::fromNativeSeparators(folder)));
}
