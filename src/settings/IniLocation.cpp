#include "settings/IniLocation.h"

#include "fs/FileSystem.h"
#include "fs/PathCodec.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace
{

const QString IniFile = QStringLiteral("PORONBO.INI");

// folder, one separator, then the file name; a root folder already ends in one.
QString joined(const QString &folder, const QString &name)
{
    QString path = QDir::toNativeSeparators(folder);
    if (!path.endsWith(QDir::separator()))
        path += QDir::separator();
    return path + name;
}

} // namespace

bool isWritableFolder(const QString &folder)
{
    const std::optional<NativePath> path = NativePath::from(folder);
    return path && isFolderWritable(*path);
}

bool isAppBundleFolder(const QString &folder)
{
    QString path = QDir::fromNativeSeparators(folder);
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const QStringList parts = path.split(QLatin1Char('/'));
    return parts.size() >= 3 && parts.at(parts.size() - 1) == QLatin1String("MacOS") &&
           parts.at(parts.size() - 2) == QLatin1String("Contents") &&
           parts.at(parts.size() - 3).endsWith(QLatin1String(".app"), Qt::CaseInsensitive) &&
           parts.at(parts.size() - 3).size() > 4;
}

bool isSystemFolder(const QString &folder)
{
    const Qt::CaseSensitivity cs = FoldedNames ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const QString path = QDir::toNativeSeparators(folder);
    for (QString root : installRoots()) {
        while (root.size() > 1 && root.endsWith(QDir::separator()))
            root.chop(1);
        if (!root.isEmpty() && path.startsWith(root, cs) &&
            (path.size() == root.size() || path.at(root.size()) == QDir::separator()))
            return true;
    }
    return false;
}

QString chooseIniName(const IniPlaces &places,
                      const std::function<bool(const QString &folder)> &writable)
{
    // An executable folder that cannot be told never stands for the root folder.
    if (places.exeFolder.isEmpty())
        return places.userFolder.isEmpty() ? QString() : joined(places.userFolder, IniFile);
    const QString beside = joined(places.exeFolder, IniFile);
    if (places.installed)
        return places.userFolder.isEmpty() ? QString() : joined(places.userFolder, IniFile);
    if (places.userFolder.isEmpty())
        return beside;
    if (!places.inAppBundle && (probeFile(beside).exists || writable(places.exeFolder)))
        return beside;
    return joined(places.userFolder, IniFile);
}

QString userConfigFolder()
{
    return configHome(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

QString settingsIniName()
{
    static const QString name = [] {
        IniPlaces places;
        places.exeFolder = executableFolder();
        places.userFolder = userConfigFolder();
        places.installed = isSystemFolder(places.exeFolder);
#ifdef Q_OS_MACOS
        places.inAppBundle = isAppBundleFolder(places.exeFolder);
#endif
        return chooseIniName(places, isWritableFolder);
    }();
    return name;
}

QString makeIniFolder(const QString &iniName)
{
    const std::optional<NativePath> folder =
        NativePath::from(QDir::toNativeSeparators(QFileInfo(iniName).path()));
    if (!folder)
        return refusedPathReason();
    const SystemError error = makeFolders(*folder);
    return error ? error.text() : QString();
}
