#include "WindowLayout.h"

#include "ClsIni.h"
#include "makelist/MakeItem.h"

namespace
{
const QString Section = QStringLiteral("WINDOW");
const QString WidthKey = QStringLiteral("WIDTH");
const QString HeightKey = QStringLiteral("HEIGHT");
} // namespace

static_assert(std::tuple_size_v<decltype(WindowLayout::Columns)> == MakeColumns.size());

WindowLayout LoadWindowLayout(const ClsIni &ini)
{
    const auto read = [&ini](const QString &key) {
        bool ok = false;
        const int value = ini.GetIni(Section, key, QString()).toInt(&ok);
        return ok && value > 0 ? value : 0;
    };
    WindowLayout layout;
    layout.Width = read(WidthKey);
    layout.Height = read(HeightKey);
    for (size_t c = 0; c < MakeColumns.size(); ++c)
        layout.Columns[c] = read(QLatin1String(MakeColumns[c].Key));
    return layout;
}

bool SaveWindowLayout(ClsIni &ini, const WindowLayout &layout)
{
    QList<QPair<QString, QString>> values{{WidthKey, QString::number(layout.Width)},
                                          {HeightKey, QString::number(layout.Height)}};
    for (size_t c = 0; c < MakeColumns.size(); ++c)
        values.append({QLatin1String(MakeColumns[c].Key), QString::number(layout.Columns[c])});
    return ini.PutIni(Section, values);
}
