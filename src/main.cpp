#include "fs/PathInput.h"
#include "ui/CommandLine.h"
#include "ui/Language.h"
#include "ui/frmMain.h"
#include "version.h"

#include <QApplication>

namespace
{
void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("poronbo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PORONBO_VERSION_TEXT));
}
} // namespace

int main(int argc, char *argv[])
{
    QString unknown;
    if (const CommandAction action = requestedAction(argc, argv, &unknown);
        action != CommandAction::Run) {
        const QCoreApplication app(argc, argv); // no display needed
        nameApplication();
        return showCommandLineText(action, unknown);
    }
    QApplication app(argc, argv);
    nameApplication();
    const Translations language(QLocale::system().uiLanguages());
    frmMain window;
    window.show();
    openWhenShown(window, argumentFiles(programArguments(argc, argv)));
    return QApplication::exec();
}
