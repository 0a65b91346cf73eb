#include "PathInput.h"

#include "PathCodec.h"

#include <QStringList>
#include <QUrl>
#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace
{

// A full path without runs of "/" and "." segments, which name nothing; ".." is kept, since
// after a link it leads elsewhere than the text before it. A trailing "/" or "/." (a folder
// only) stays "/".
QString withoutDotSegments(const QString &path)
{
    const QStringList parts = path.split(QLatin1Char('/'));
    QStringList kept;
    for (const QString &part : parts) {
        if (!part.isEmpty() && part != QLatin1String("."))
            kept << part;
    }
    QString out = QLatin1Char('/') + kept.join(QLatin1Char('/'));
    if (!kept.isEmpty() && (parts.last().isEmpty() || parts.last() == QLatin1String(".")))
        out += QLatin1Char('/');
    return out;
}

} // namespace

QStringList programArguments(int argc, const char *const *argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << decodePath(argv[i]);
    return arguments;
}

QString argumentPath(const QString &argument)
{
    if (argument.isEmpty() || isFullPath(argument))
        return argument.isEmpty() ? argument : withoutDotSegments(argument);
    // Its bytes kept (QDir would replace those that are not UTF-8).
    const std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    if (!cwd)
        return argument; // the current folder is gone: the system takes it as it is
    return withoutDotSegments(decodePath(cwd.get()) + QLatin1Char('/') + argument);
}

QString decodeFileUrl(const QUrl &url)
{
    const QString host = url.host();
    if (!url.isLocalFile() ||
        !(host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0))
        return {};
    const QByteArray path =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    return path.startsWith('/') && !path.contains('\0') ? decodePath(path) : QString();
}

QUrl fileUrl(const QString &path)
{
    return QUrl::fromEncoded("file://" + encodePath(path).toPercentEncoding("/"));
}

bool isFullPath(const QString &path)
{
    return path.startsWith(QLatin1Char('/'));
}

QString typedFolderPath(const QString &typed)
{
    const QString folder = TrimSpaces(typed);
    if (!isFullPath(folder))
        return typed;
    QString path = withoutDotSegments(folder);
    if (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}
