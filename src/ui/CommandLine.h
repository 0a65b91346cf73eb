#pragma once

#include <QString>
#include <QStringList>

class frmMain;

enum class CommandAction { Run, Help, Version, UnknownOption };

// -h/--help and -v/--version are the program's options; Qt's own (-platform, -style and
// the like, with one dash or two) are left to Qt; any other argument starting with "-"
// is an unknown option, and every other argument names a file. "--" ends the options,
// so that a file may be called --help or -x.

// What the arguments ask for: the first of help, version and an unknown option (then
// put into unknown), else Run. Read before any display is opened.
CommandAction requestedAction(int argc, const char *const *argv, QString *unknown = nullptr);

// Full paths of the files the arguments name (the program first), in their order, as
// argumentPath gives them; arguments as programArguments gives them.
QStringList argumentFiles(const QStringList &arguments);

// Shows the help or the version text, or the usage for an unknown option, on the standard
// output or error (a message box where there is none); returns the exit status: 0, 2 for
// an unknown option, 1 when the text could not be written.
int showCommandLineText(CommandAction action, const QString &unknown = {});

// Takes files as a drop on the window would, once the window is up.
void openWhenShown(frmMain &window, const QStringList &files);
