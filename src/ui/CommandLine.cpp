#include "ui/CommandLine.h"

#include "fs/PathCodec.h"
#include "fs/PathInput.h"
#include "ui/frmMain.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdio>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace
{

enum class Kind { File, Help, Version, Unknown, Qt };

// Qt's own options, as QCoreApplication, QGuiApplication, QApplication and the X11 platform
// take them: those that take the next argument as their value, the others, and prefixes.
constexpr std::array<QByteArrayView, 17> QtValued{"platform",      "platformpluginpath",
                                                  "platformtheme", "qwindowgeometry",
                                                  "geometry",      "qwindowtitle",
                                                  "title",         "qwindowicon",
                                                  "icon",          "plugin",
                                                  "session",       "style",
                                                  "stylesheet",    "qmljsdebugger",
                                                  "display",       "name",
                                                  "visual"};
constexpr std::array<QByteArrayView, 7> QtFlags{"reverse", "testability", "widgetcount", "qdevel",
                                                "qdebug",  "nograb",      "dograb"};
constexpr std::array<QByteArrayView, 4> QtPrefixes{
    "style=", "stylesheet=", "qmljsdebugger=", "psn_"};

// What an argument that starts with "-" (but is not "-" or "--") is.
Kind optionKind(QByteArrayView a, bool &takesValue)
{
    takesValue = false;
    if (a == "-h" || a == "--help")
        return Kind::Help;
    if (a == "-v" || a == "--version")
        return Kind::Version;
    const QByteArrayView name = a.sliced(a.startsWith("--") ? 2 : 1);
    const auto is = [name](QByteArrayView n) { return name == n; };
    takesValue = std::any_of(QtValued.begin(), QtValued.end(), is);
    if (takesValue || std::any_of(QtFlags.begin(), QtFlags.end(), is) ||
        std::any_of(QtPrefixes.begin(), QtPrefixes.end(),
                    [name](QByteArrayView p) { return name.startsWith(p); }))
        return Kind::Qt;
    return Kind::Unknown;
}

// The kind of each argument after the program; "--" and the values of Qt's options are Qt's.
QList<Kind> argumentKinds(const QByteArrayList &arguments)
{
    QList<Kind> kinds(arguments.size(), Kind::Qt);
    bool options = true;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QByteArray &a = arguments.at(i);
        bool takesValue = false;
        if (!options || a.size() < 2 || !a.startsWith('-'))
            kinds[i] = Kind::File;
        else if (a == "--")
            options = false;
        else if ((kinds[i] = optionKind(a, takesValue)) == Kind::Qt && takesValue)
            ++i;
    }
    return kinds;
}

// Writes text to the standard output (or error), or shows it in a message box where no one
// would see it: a Windows program started without a console or redirection. False when it
// could not be written.
bool tell(const QString &text, bool error)
{
#ifdef Q_OS_WIN
    STARTUPINFOW startup{};
    GetStartupInfoW(&startup);
    if (!GetConsoleWindow() && !(startup.dwFlags & STARTF_USESTDHANDLES)) {
        MessageBoxW(nullptr, reinterpret_cast<LPCWSTR>(text.utf16()),
                    reinterpret_cast<LPCWSTR>(QCoreApplication::applicationName().utf16()),
                    MB_OK | MB_TOPMOST | MB_SETFOREGROUND |
                        (error ? MB_ICONERROR : MB_ICONINFORMATION));
        return true;
    }
#endif
    FILE *to = error ? stderr : stdout;
    const QByteArray bytes = text.toLocal8Bit();
    return std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to) == size_t(bytes.size()) &&
           std::fflush(to) == 0;
}

} // namespace

CommandAction requestedAction(int argc, const char *const *argv, QString *unknown)
{
    QByteArrayList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QByteArray(argv[i]);
    const QList<Kind> kinds = argumentKinds(arguments);
    for (qsizetype i = 1; i < kinds.size(); ++i) {
        if (kinds[i] == Kind::Help)
            return CommandAction::Help;
        if (kinds[i] == Kind::Version)
            return CommandAction::Version;
        if (kinds[i] == Kind::Unknown) {
            if (unknown)
                *unknown = QString::fromLocal8Bit(arguments[i]);
            return CommandAction::UnknownOption;
        }
    }
    return CommandAction::Run;
}

QStringList argumentFiles(const QStringList &arguments)
{
    QByteArrayList bytes; // for telling each one's kind: options are ASCII
    for (const QString &a : arguments)
        bytes << encodePath(a);
    const QList<Kind> kinds = argumentKinds(bytes);
    QStringList files;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (kinds[i] == Kind::File && !arguments[i].isEmpty()) // an empty one names no file
            files << argumentPath(arguments[i]);
    }
    return files;
}

int showCommandLineText(CommandAction action, const QString &unknown)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Opens the window and adds the files as if dropped on it."));
    parser.addOption(
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Displays this help.")});
    parser.addOption({{QStringLiteral("v"), QStringLiteral("version")},
                      QStringLiteral("Displays version information.")});
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Files to add."),
                                 QStringLiteral("[--] [FILE...]"));
    const QString name = QCoreApplication::applicationName();
    if (action == CommandAction::UnknownOption) {
        tell(name + QStringLiteral(": unknown option ") + unknown + QLatin1Char('\n') +
                 parser.helpText().section(QLatin1Char('\n'), 0, 0) +
                 QStringLiteral("\nTry '%1 --help'. A file whose name starts with \"-\" goes "
                                "after \"--\".\n")
                     .arg(name),
             true);
        return 2;
    }
    const QString text =
        action == CommandAction::Help
            ? parser.helpText()
            : name + QLatin1Char(' ') + QCoreApplication::applicationVersion() + QLatin1Char('\n');
    if (tell(text, false))
        return 0;
    tell(name + QStringLiteral(": cannot write the output\n"), true);
    return 1;
}

void openWhenShown(frmMain &window, const QStringList &files)
{
    if (files.isEmpty())
        return;
    QTimer::singleShot(0, &window, [&window, files] { window.openFiles(files); });
}
