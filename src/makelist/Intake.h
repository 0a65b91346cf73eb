#pragma once

#include "MakeOptions.h"
#include "Progress.h"
#include "dummy/modMain.h"

#include <QLocale>
#include <QStringList>

class MakeList;

// The prefix used when the user gives none.
inline const QString DefaultPrefix = QStringLiteral("__退避__");

struct IntakeResult {
    enum Outcome {
        Added,          // the paths were taken in (some may have been duplicates)
        NoOutputFolder, // chosen-folder mode without a folder: nothing added
        // Chosen-folder mode with a folder that depends on the current folder: nothing added.
        RelativeOutputFolder,
        PrefixTooLong, // the trimmed prefix exceeds MaxPrefixLength: nothing added
        // The trimmed prefix holds a character no file name may hold: nothing added.
        PrefixBadCharacter,
    };
    Outcome outcome = Added;
    qsizetype added = 0;
    qsizetype duplicates = 0;
    // Paths skipped because another source already holds their dummy's key: how many,
    // and the first MaxCollidedPaths of them in order.
    qsizetype collisions = 0;
    QStringList collidedPaths;
    static constexpr qsizetype MaxCollidedPaths = 10;
    bool cancelled = false;
};

// A size in brackets as a name carries it: "(#,###)", with the locale's digits and the
// group separator group, or "," when group holds a character a name cannot hold on some
// system (a user may set any on Windows); "()" for 0.
//
// The locale's text of a number differs from that of another of as many digits only
// in the digits, so the text of 10^(k-1) is kept for each count k and its digits are
// replaced; a locale whose digits take two UTF-16 units is asked each time.
class SizeText
{
public:
    SizeText(const QLocale &locale, const QString &group);
    // Valid until the next call.
    QStringView bracketed(qint64 size);

private:
    static constexpr qsizetype MaxDigits = 19; // 10^18 is the largest power a qint64 holds
    bool isDigit(QChar c) const { return c.unicode() == m_zero || c.unicode() == m_zero + 1; }
    QString grouped(qint64 size) const;

    QLocale m_locale;
    QString m_localeGroup, m_group;
    char16_t m_zero = 0; // 0 when the locale is asked each time
    QString m_forms[MaxDigits];
    QString m_text;
};

// Turns dropped paths into make-list rows named by options; the chosen folder is taken
// without surrounding spaces, as it is saved. Paths is 1-based:
// element 0 is not read. Paths whose dummy key is already listed are skipped; those
// whose key another source holds (not the same path by samePath) are also counted as
// collisions. Texts are formatted for locale, sizes in names grouped by its separator. A path whose
// metadata cannot be read throws FileError; rows taken in before it stay listed.
IntakeResult AddDroppedFiles(MakeList &list, const MakeOptions &options, const QStringList &Paths,
                             const QLocale &locale = QLocale::system(),
                             const Progress &progress = {});
