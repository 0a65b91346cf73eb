#include "settings/IniLocation.h"

#include "fs/FileError.h"
#include "fs/FileStat.h"
#include "fs/PathCodec.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QTemporaryFile>
#include <qt_windows.h>
#endif

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
    const FileStat stat = probeFile(folder);
    if (!stat.exists || stat.isFile)
        return false;
#ifdef Q_OS_UNIX
    // Permissions of the effective user, a read-only mount included; nothing is written.
    const std::optional<QByteArray> name = systemPath(folder);
    return name && ::faccessat(AT_FDCWD, name->constData(), W_OK | X_OK, AT_EACCESS) == 0;
#else
    // Access lists decide on Windows: try a file of our own, removed again at once.
    QTemporaryFile probe(joined(folder, QStringLiteral("poronbo-XXXXXX.tmp")));
    return probe.open();
#endif
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
#ifdef Q_OS_WIN
    const QStringList roots{qEnvironmentVariable("ProgramFiles"),
                            qEnvironmentVariable("ProgramFiles(x86)"),
                            qEnvironmentVariable("ProgramW6432")};
    const Qt::CaseSensitivity cs = Qt::CaseInsensitive;
#else
    const QStringList roots{QStringLiteral("/usr"),  QStringLiteral("/opt"),
                            QStringLiteral("/bin"),  QStringLiteral("/sbin"),
                            QStringLiteral("/snap"), QStringLiteral("/nix/store"),
                            QStringLiteral("/app")};
    const Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    const QString path = QDir::toNativeSeparators(folder);
    for (QString root : roots) {
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
    const QString qt = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // Qt decodes the variables with loss, and takes a relative XDG_CONFIG_HOME, which
    // the XDG rules say to ignore.
    const QByteArray config = qgetenv("XDG_CONFIG_HOME"), home = qgetenv("HOME");
    const QString generic = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (!qt.startsWith(generic))
        return qt;
    QString folder = decodePath(config);
    if (!folder.startsWith(QLatin1Char('/'))) {
        if (home.isEmpty())
            return qt;
        folder = decodePath(home) + QStringLiteral("/.config");
    }
    return QDir::cleanPath(folder) + qt.sliced(generic.size());
#else
    return qt;
#endif
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

namespace
{

QString makeFolder(const QString &folder)
{
    if (probeFile(folder).exists)
        return {};
    const QString parent = QDir::toNativeSeparators(QFileInfo(folder).path());
    if (parent != folder) {
        if (QString reason = makeFolder(parent); !reason.isEmpty())
            return reason;
    }
    const std::optional<QByteArray> name = systemPath(folder);
    if (!name)
        return refusedPathReason();
#ifdef Q_OS_UNIX
    if (::mkdir(name->constData(), 0777) != 0 && errno != EEXIST)
        return systemReason(errno);
#else
    if (!CreateDirectoryW(reinterpret_cast<const wchar_t *>(folder.utf16()), nullptr) &&
        GetLastError() != ERROR_ALREADY_EXISTS)
        return systemReason(int(GetLastError()));
#endif
    return {};
}

} // namespace

QString makeIniFolder(const QString &iniName)
{
    return makeFolder(QDir::toNativeSeparators(QFileInfo(iniName).path()));
}
