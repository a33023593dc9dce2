#include "app/command_line.h"

#include <QCommandLineParser>

#include "tovask_version.h"

namespace {

// The options QApplication takes for itself, with whether a value follows.
struct QtOption {
    const char* name;
    bool takesValue;
};
constexpr QtOption kQtOptions[] = {
    {"-platform", true},   {"-platformpluginpath", true}, {"-platformtheme", true}, {"-plugin", true},
    {"-qwindowgeometry", true}, {"-qwindowicon", true},   {"-qwindowtitle", true},   {"-display", true},
    {"-geometry", true},   {"-style", true},              {"-stylesheet", true},     {"-session", true},
    {"-name", true},       {"-title", true},              {"-reverse", false},       {"-widgetcount", false},
    {"-nograb", false},    {"-dograb", false},            {"-sync", false},
};

QStringList WithoutQtOptions(const QStringList& args)
{
    QStringList kept;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const QtOption* match = nullptr;
        for (const QtOption& o : kQtOptions)
            if (a == QLatin1String(o.name) || (o.takesValue && a.startsWith(QLatin1String(o.name) + '=')))
                match = &o;
        if (!match) {
            kept << a;
            continue;
        }
        if (match->takesValue && !a.contains('='))
            ++i;
    }
    return kept;
}

}  // namespace

CommandLineOutcome ParseEditorCommandLine(const QStringList& args, EditorOptions& options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Edit the settings of a programmable magnetic-stripe card reader: what it sends around each\n"
        "track's data, the card prefix and suffix and its options. Templates are saved as .mtl files\n"
        "and written into the reader, or read from it, over USB, the PS/2 keyboard port or a serial\n"
        "port (COM1..COM8), chosen in the \"Select Communication Port\" dialog at start.");
    const QCommandLineOption help({"h", "help"}, "Show this help and exit.");
    const QCommandLineOption version({"v", "version"}, "Show the version and exit.");
    const QCommandLineOption simulate("simulate", "Talk to the built-in simulated reader instead of a real one.");
    const QCommandLineOption fault(
        "fault",
        QString("With --simulate: make the simulated reader misbehave from the first command on (%1).")
            .arg(SimFaultNames()),
        "NAME");
    parser.addOptions({help, version, simulate, fault});
    parser.addPositionalArgument("FILE", "A template file (.mtl) to open; without it a new template.", "[FILE]");

    // The usage line names the program as it is installed, not the path it was started by.
    QString usage = parser.helpText();
    usage.replace(0, usage.indexOf(" [options]"), "Usage: tovask");

    CommandLineOutcome result;
    const auto usageError = [&](const QString& message) {
        result.exitCode = 2;
        result.err = "tovask: " + message + "\n\n" + usage;
        return result;
    };
    if (!parser.parse(QStringList{"tovask"} + WithoutQtOptions(args)))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        result.exitCode = 0;
        result.out = usage;
        return result;
    }
    if (parser.isSet(version)) {
        result.exitCode = 0;
        result.out = "tovask " TOVASK_VERSION "\n";
        return result;
    }
    if (parser.positionalArguments().size() > 1)
        return usageError("one file at most");
    EditorOptions parsed;
    parsed.simulate = parser.isSet(simulate);
    if (parser.isSet(fault) && !ParseSimFault(parser.value(fault).toStdString(), parsed.fault)) {
        result.exitCode = 2;
        result.err = QString("tovask: unknown fault '%1': use %2\n").arg(parser.value(fault), SimFaultNames());
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        parsed.file = parser.positionalArguments().first();
    options = parsed;
    return result;
}
