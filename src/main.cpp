#include "ui/frmMain.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("poronbo"));
    installQtTranslations(app, QLocale::system());
    frmMain window;
    window.show();
    return QApplication::exec();
}
