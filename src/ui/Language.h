#pragma once

#include <QStringList>
#include <QTranslator>
#include <memory>
#include <vector>

// The window speaks Japanese when the first of the user's UI languages is Japanese or the
// C/POSIX locale ("C", or none given), English for any other.
bool japaneseWindow(const QStringList &uiLanguages);

// The texts of the window's language, installed while this lives: the English texts
// (built in) for the English window, Qt's Japanese texts for the Japanese one, so that
// Qt's dialogs speak the window's language.
class Translations
{
public:
    explicit Translations(const QStringList &uiLanguages);
    ~Translations();
    Translations(const Translations &) = delete;
    Translations &operator=(const Translations &) = delete;

private:
    bool install(const QString &name, const QString &folder);

    std::vector<std::unique_ptr<QTranslator>> m_installed;
};
