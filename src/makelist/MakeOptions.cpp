#include "MakeOptions.h"

#include "fs/PathInput.h"
#include "settings/ClsIni.h"

namespace
{
const QString Section = QStringLiteral("SYSTEM");
}

MakeOptions LoadOptions(const ClsIni &ini)
{
    MakeOptions options;
    options.SameFolder =
        ini.GetIni(Section, QStringLiteral("OUTPOS"), QStringLiteral("1")) == QLatin1String("1");
    options.OutPath = ini.GetIni(Section, QStringLiteral("OUTPATH"), QString());
    options.Initial = ini.GetIni(Section, QStringLiteral("INITIAL"), QString());
    bool ok = false;
    const int size = ini.GetIni(Section, QStringLiteral("SIZEADD"), QStringLiteral("0")).toInt(&ok);
    options.SizeCheck = SizeCheckState(ok && size >= 0 && size <= 2 ? size : 0);
    return options;
}

bool SaveOptions(ClsIni &ini, const MakeOptions &options)
{
    return ini.PutIni(
        Section,
        {{QStringLiteral("OUTPOS"), options.SameFolder ? QStringLiteral("1") : QStringLiteral("0")},
         {QStringLiteral("OUTPATH"), TrimSpaces(options.OutPath)},
         {QStringLiteral("INITIAL"), TrimSpaces(options.Initial)},
         {QStringLiteral("SIZEADD"), QString::number(int(options.SizeCheck))}});
}
