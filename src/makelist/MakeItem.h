#pragma once

#include "dummy/modMain.h"

#include <QDir>
#include <QString>
#include <QStringView>
#include <array>

// The columns of the make list, in the order shown.
enum class MakeColumn { STATUS, FILE_PATH, FILE_NAME, SIZE, EXT, TIMESTUMP };

// A column: its key, header text, width in twips and alignment.
struct MakeColumnInfo {
    const char *Key;
    const char *Text; // UTF-8, shown translated in the context "MakeList"
    int WidthTwips;
    Qt::Alignment Alignment;
};

// The one table of the columns, indexed by MakeColumn.
inline constexpr std::array<MakeColumnInfo, 6> MakeColumns{{
    {"STATUS", QT_TRANSLATE_NOOP("MakeList", "結果"), 600, Qt::AlignLeft},
    {"FILE_PATH", QT_TRANSLATE_NOOP("MakeList", "作成場所"), 3000, Qt::AlignLeft},
    {"FILE_NAME", QT_TRANSLATE_NOOP("MakeList", "ファイル名"), 3000, Qt::AlignLeft},
    {"SIZE", QT_TRANSLATE_NOOP("MakeList", "サイズ"), 1300, Qt::AlignRight},
    {"EXT", QT_TRANSLATE_NOOP("MakeList", "拡張子"), 800, Qt::AlignLeft},
    {"TIMESTUMP", QT_TRANSLATE_NOOP("MakeList", "更新日"), 1700, Qt::AlignLeft},
}};
static_assert(MakeColumns.size() == size_t(MakeColumn::TIMESTUMP) + 1);

constexpr const MakeColumnInfo &columnInfo(MakeColumn column)
{
    return MakeColumns[size_t(column)];
}

// One row of the make list; the views show it through MakeList::data(), which formats
// the size and time texts when asked. Rows of one folder share its text.
struct MakeItem {
    QString Text;                              // STATUS: empty, or the mark of the last make
    QString FilePath;                          // FILE_PATH: the folder the dummy goes in
    QString FileName;                          // FILE_NAME: the dummy's name
    QString Tag;                               // the source path
    qint64 Size = 0;                           // SIZE: the source's size in bytes
    qint64 ModifiedMSecs = 0;                  // TIMESTUMP: the source's modified time (FileStat's)
    int InitialLen = 0;                        // prefix length the dummy's name was made with
    bool SizeAdd = false;                      // whether the name carries the source size
    DummyRefusal Refusal = DummyRefusal::None; // why the last make refused it
    quint16 ExtLen = 0; // EXT: the source's extension, the last ExtLen characters of Tag

    QStringView ext() const { return QStringView(Tag).right(ExtLen); }
    // FilePath + separator + FileName: the dummy's path, unique in the list as samePath
    // compares paths.
    QString key() const { return FilePath + QDir::separator() + FileName; }
};
// Rows are moved as bytes when the store grows; every member must allow that.
Q_DECLARE_TYPEINFO(MakeItem, Q_RELOCATABLE_TYPE);
