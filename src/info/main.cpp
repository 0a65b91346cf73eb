// poronbo-info: tells what each dummy file stands for and whether its source is there.

#include "dummy/DummyReader.h"
#include "dummy/modMain.h"
#include "fs/FileStat.h"
#include "fs/PathInput.h"
#include "info/StandardStream.h"
#include "version.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>

namespace
{

const char Usage[] = R"usage(Usage: poronbo-info [--json] [--check [FOLDER]] PATH...

Reads each PATH as a dummy and prints one line for it, fields separated by tabs:
the dummy's path, its source's name, the source's size in bytes (when the name
does not carry it, the record's low 32 bits only, marked "(low 32 bits)"), its
modified time (YYYY-MM-DD HH:MM:SS, local), the version that wrote the dummy,
the prefix length and the size flag (1 when the name carries the size).
Control characters in names show as "?"; --json gives them exactly. Output is
UTF-8, except on a Windows console, which is given the characters themselves.

  --json            one JSON object per line, with the keys dummy, source_name,
                    size, modified, version, prefix_length and size_in_name
  --check [FOLDER]  look for each source in FOLDER, or beside its dummy when
                    FOLDER is left out, and add "matches" (name, size and time
                    to the second agree; a time before the year 1 or after 9999
                    as the record holds it, at that limit), "differs (size,
                    time)", "missing" or "cannot be accessed" (it may be
                    there, but this user may not look); JSON adds source,
                    check and differs. The argument after --check is FOLDER
                    unless it is an existing file (a dummy is never a folder)
                    or starts with "-"; --check=FOLDER is always a folder
  -h, --help        show this help
  -v, --version     show the version
  --                the arguments after it are paths

Exit status: 0 when every PATH is a dummy, 1 when any is not (why, on standard
error; the others are still reported) or the output cannot be written, 2 for a
usage error (a --check FOLDER that is not a folder among them).
)usage";

struct Options {
    bool json = false;
    bool check = false;
    QString folder; // as the system opens it; empty: each dummy's own folder
    QStringList paths;
};

// Whether a look failed because this user may not look there, not because nothing is there.
bool accessDenied(const FileStat &stat)
{
    return !stat.exists && stat.error.isAccessDenied();
}

// The --check folder given, as the system opens it; why it is none when it is not a folder
// (a FIFO or a device is never opened, so never waited for).
QString checkFolder(const QString &given, QString &folder)
{
    folder = argumentPath(given);
    const FileStat stat = probeFile(folder);
    if (stat.isDir)
        return {};
    return (accessDenied(stat) ? QStringLiteral("--check: cannot be accessed: ")
                               : QStringLiteral("--check: not a folder: ")) +
           given;
}

// Parses arguments; returns an exit status when the program should stop.
std::optional<int> parse(const QStringList &args, Options &o, QTextStream &out, QTextStream &err)
{
    const auto usage = [&err](const QString &why) {
        err << "poronbo-info: " << why << "\nTry 'poronbo-info --help'.\n";
        return 2;
    };
    bool optionsEnd = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (optionsEnd || !a.startsWith(QLatin1Char('-')) || a == QLatin1String("-")) {
            o.paths << a;
        } else if (a == QLatin1String("--")) {
            optionsEnd = true;
        } else if (a == QLatin1String("--json")) {
            o.json = true;
        } else if (a == QLatin1String("--check") || a.startsWith(QLatin1String("--check="))) {
            o.check = true;
            QString given;
            if (a.size() > 7) {
                given = a.mid(8);
            } else if (i + 1 < args.size() && !args.at(i + 1).startsWith(QLatin1Char('-'))) {
                const FileStat next = probeFile(argumentPath(args.at(i + 1)));
                if (!next.exists || !next.isFile)
                    given = args.at(++i);
            }
            if (a.size() > 7 || !given.isEmpty()) {
                if (const QString why = checkFolder(given, o.folder); !why.isEmpty())
                    return usage(why);
            }
        } else if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            out << Usage;
            return 0;
        } else if (a == QLatin1String("-v") || a == QLatin1String("--version")) {
            out << "poronbo-info " PORONBO_VERSION_TEXT "\n";
            return 0;
        } else {
            return usage(QStringLiteral("unknown option ") + a);
        }
    }
    if (o.paths.isEmpty())
        return usage(QStringLiteral("no PATH given"));
    return {};
}

// The folder of a path, a root with its separator.
QString folderOf(const QString &path)
{
    const qsizetype cut = path.lastIndexOf(QDir::separator());
    if (cut < 0)
        return QStringLiteral(".");
    return path.left(cut == 0 || path.at(cut - 1) == QLatin1Char(':') ? cut + 1 : cut);
}

struct Check {
    QString source;      // the path looked at
    QString result;      // matches, differs, missing or cannot be accessed
    QStringList differs; // size, time, not a file
};

Check check(const DummyInfo &info, const QString &folder)
{
    Check c;
    c.source = folder.endsWith(QDir::separator()) ? folder + info.sourceName
                                                  : folder + QDir::separator() + info.sourceName;
    const FileStat source = probeFile(c.source);
    if (!source.exists) {
        c.result =
            accessDenied(source) ? QStringLiteral("cannot be accessed") : QStringLiteral("missing");
        return c;
    }
    if (!source.isFile) {
        c.differs << QStringLiteral("not a file");
    } else {
        // The name carries the whole size; the record only its low 32 bits.
        if (info.sizeFlag ? source.size != info.size : quint32(source.size) != info.sizeLow)
            c.differs << QStringLiteral("size");
        // A time the record cannot hold is compared as it was recorded: at the limit.
        if (DummyHeader::recordedTime(localWallClock(source.modifiedMSecs)) != info.modified)
            c.differs << QStringLiteral("time");
    }
    c.result = c.differs.isEmpty() ? QStringLiteral("matches") : QStringLiteral("differs");
    return c;
}

// text with control characters shown as "?", so that one dummy takes one line.
QString printable(QString text)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('?');
    }
    return text;
}

QString line(const QString &path, const DummyInfo &info, const std::optional<Check> &c, bool json)
{
    if (json) {
        QJsonObject o{{QStringLiteral("dummy"), path},
                      {QStringLiteral("source_name"), info.sourceName},
                      {QStringLiteral("size"), info.size},
                      {QStringLiteral("modified"), info.modifiedText()},
                      {QStringLiteral("version"), info.version()},
                      {QStringLiteral("prefix_length"), info.prefixLen},
                      {QStringLiteral("size_in_name"), info.sizeFlag}};
        if (c) {
            o.insert(QStringLiteral("source"), c->source);
            o.insert(QStringLiteral("check"), c->result);
            if (!c->differs.isEmpty())
                o.insert(QStringLiteral("differs"), QJsonArray::fromStringList(c->differs));
        }
        return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
    }
    QStringList fields{printable(path),
                       printable(info.sourceName),
                       QString::number(info.size) +
                           (info.sizeFlag ? QString() : QStringLiteral(" (low 32 bits)")),
                       info.modifiedText(),
                       info.version(),
                       QString::number(info.prefixLen),
                       QString::number(int(info.sizeFlag))};
    if (c) {
        fields << (c->differs.isEmpty()
                       ? c->result
                       : c->result + QLatin1String(" (") + c->differs.join(QLatin1String(", ")) +
                             QLatin1Char(')'));
    }
    return fields.join(QLatin1Char('\t'));
}

// Prints a line for each path (its reason on err when it is no dummy); 1 when any is none.
int report(const Options &options, QTextStream &out, QTextStream &err)
{
    int status = 0;
    for (const QString &arg : options.paths) {
        const QString path = QDir::toNativeSeparators(arg);
        QString reason;
        const QString opened = argumentPath(arg);
        const std::optional<DummyInfo> info = readDummy(opened, reason);
        if (!info) {
            out.flush();
            err << "poronbo-info: " << printable(path) << ": not a dummy: " << reason << Qt::endl;
            status = 1;
            continue;
        }
        std::optional<Check> c;
        if (options.check)
            c = check(*info, options.folder.isEmpty() ? folderOf(opened) : options.folder);
        out << line(path, *info, c, options.json) << Qt::endl;
    }
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("poronbo-info"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PORONBO_VERSION_TEXT));
    StandardStream standardOut(stdout);
    StandardStream standardError(stderr);
    QTextStream &out = standardOut.text();
    QTextStream &err = standardError.text();
#ifdef Q_OS_UNIX
    std::signal(SIGPIPE, SIG_IGN); // a closed pipe is an output that cannot be written
#endif

    Options options;
    std::optional<int> status = parse(programArguments(argc, argv), options, out, err);
    if (!status)
        status = report(options, out, err);
    out.flush();
    if (out.status() != QTextStream::Ok) { // a full disk or a closed pipe
        err << "poronbo-info: cannot write the output" << Qt::endl;
        return 1;
    }
    return *status;
}
