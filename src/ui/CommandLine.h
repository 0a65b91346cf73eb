#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class frmMain;

// One argument as the system passes it: UTF-16 text on Windows, bytes elsewhere.
#ifdef Q_OS_WIN
using Argument = QString;
#else
using Argument = QByteArray;
#endif

enum class CommandAction { Run, Help, Version };

// The program's arguments after Qt has taken its own (-platform and the like), the
// program itself first. Call after the application object is made.
QList<Argument> programArguments(int argc, char **argv);

// The full path an argument names, relative ones taken from the current folder.
QString argumentPath(const Argument &argument);

// Only --help and --version are options; every other argument names a file. "--" ends
// the options, so that a file may be called --help.

// --help or --version when given; read before any display is opened.
CommandAction requestedAction(int argc, const char *const *argv);

// Full paths of the files the arguments name (the program first), in their order.
QStringList argumentFiles(const QList<Argument> &arguments);

// Shows the help or the version text (a message box where there is no console) and
// ends the program.
[[noreturn]] void showCommandLineText(CommandAction action);

// Takes files as a drop on the window would, once the window is up.
void openWhenShown(frmMain &window, const QStringList &files);
