#include "ui/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

bool japaneseWindow(const QStringList &uiLanguages)
{
    const QString first = uiLanguages.value(0, QStringLiteral("C"));
    return first == QLatin1String("C") || QLocale(first).language() == QLocale::Japanese;
}

Translations::Translations(const QStringList &uiLanguages)
{
    if (!japaneseWindow(uiLanguages)) {
        install(QStringLiteral("poronbo_en"), QStringLiteral(":/i18n"));
        return;
    }
    // Qt's own folder, else the one a deployment puts beside the executable.
    for (const QString &folder :
         {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
          QCoreApplication::applicationDirPath() + QStringLiteral("/translations")}) {
        if (install(QStringLiteral("qtbase_ja"), folder))
            break;
    }
}

Translations::~Translations()
{
    for (const auto &translator : m_installed)
        QCoreApplication::removeTranslator(translator.get());
}

bool Translations::install(const QString &name, const QString &folder)
{
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(name, folder) || !QCoreApplication::installTranslator(translator.get()))
        return false;
    m_installed.push_back(std::move(translator));
    return true;
}
