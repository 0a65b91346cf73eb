#include "ui/CommandLine.h"

#include "dummy/PathCodec.h"
#include "ui/frmMain.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <string>
#else
#include <cstdlib>
#include <memory>
#include <unistd.h>
#endif

QList<Argument> programArguments(int argc, char **argv)
{
#ifdef Q_OS_WIN
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return QCoreApplication::arguments();
#else
    QList<Argument> arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QByteArray(argv[i]);
    return arguments;
#endif
}

QString argumentPath(const Argument &argument)
{
#ifdef Q_OS_WIN
    QString path =
        QDir::toNativeSeparators(QDir::cleanPath(QDir::current().absoluteFilePath(argument)));
    // "Send to" may pass 8.3 short names; a drop gives the long ones.
    const std::wstring given = path.toStdWString();
    const DWORD needed = GetLongPathNameW(given.c_str(), nullptr, 0);
    if (needed > 0) {
        std::wstring buffer(needed, L'\0');
        const DWORD length = GetLongPathNameW(given.c_str(), buffer.data(), needed);
        if (length > 0 && length < needed)
            path = QString::fromWCharArray(buffer.data(), int(length));
    }
    return path;
#else
    // Bytes kept as they are, for the current folder too (QDir would replace undecodable ones).
    QString path = decodePath(argument);
    if (!path.startsWith(QLatin1Char('/'))) {
        const std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
        if (cwd)
            path = decodePath(cwd.get()) + QLatin1Char('/') + path;
    }
    return QDir::toNativeSeparators(QDir::cleanPath(path));
#endif
}

CommandAction requestedAction(int argc, const char *const *argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArrayView a(argv[i]);
        if (a == "--")
            break;
        if (a == "--help")
            return CommandAction::Help;
        if (a == "--version")
            return CommandAction::Version;
    }
    return CommandAction::Run;
}

QStringList argumentFiles(const QList<Argument> &arguments)
{
    QStringList files;
    bool options = true;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const Argument &a = arguments.at(i);
        if (options && a == Argument("--"))
            options = false;
        else if (options && (a == Argument("--help") || a == Argument("--version")))
            continue;
        else if (!a.isEmpty()) // an empty one names no file
            files << argumentPath(a);
    }
    return files;
}

void showCommandLineText(CommandAction action)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Opens the window and adds the files as if dropped on it."));
    parser.addOption({QStringLiteral("help"), QStringLiteral("Displays this help.")});
    parser.addOption({QStringLiteral("version"), QStringLiteral("Displays version information.")});
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Files to add."),
                                 QStringLiteral("[--] [FILE...]"));
    if (action == CommandAction::Help)
        parser.showHelp(0);
    parser.showVersion();
}

void openWhenShown(frmMain &window, const QStringList &files)
{
    if (files.isEmpty())
        return;
    QTimer::singleShot(0, &window, [&window, files] { window.openFiles(files); });
}
