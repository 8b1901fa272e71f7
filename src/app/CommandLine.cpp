#include "CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

namespace tervane {

namespace {

// The options QApplication reads itself: the dashboard accepts them, with one dash or two,
// and leaves them in the arguments for QApplication.
const char* const kQtValueOptions[] = {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon", "qwindowtitle", "style", "stylesheet", "session", "display", "name", "geometry", "title", "visual",
    "ncols", "cmap", "qmljsdebugger", "dialogs", "fontengine"};
const char* const kQtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args)
{
    CommandLine line;
    QStringList arguments {QStringLiteral("tervane-q7-dashboard")};
    // The simulated device's options are its own parser's to read.
    std::vector<std::string> simulatorOptions;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!line.text.empty())
            line.text += ' ';
        line.text += arg;
        if (const std::size_t words = sim::SimOptionWords(args, i); words > 0) {
            simulatorOptions.insert(simulatorOptions.end(), args.begin() + static_cast<std::ptrdiff_t>(i),
                args.begin() + static_cast<std::ptrdiff_t>(i + words));
            if (words == 2)
                line.text += ' ' + args[++i];
            continue;
        }
        arguments << QString::fromLocal8Bit(arg.data(), static_cast<qsizetype>(arg.size()));
    }

    QCommandLineParser parser;
    // Qt's own options are single-dash words (-platform, -style); one parser takes both forms.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList {QStringLiteral("help"), QStringLiteral("h")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption simulate(QStringLiteral("simulate"));
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("PATH"));
    parser.addOptions({help, version, simulate, port});
    for (const char* name : kQtValueOptions)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("VALUE")));
    for (const char* name : kQtFlagOptions)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
    // Words without a dash ("/debug" among them) are left to WantsCommandLog.
    parser.addPositionalArgument(QStringLiteral("words"), QString(), QStringLiteral("[/debug]"));

    if (!parser.parse(arguments)) {
        line.error = parser.errorText().toStdString();
        return line;
    }
    line.help = parser.isSet(help);
    line.version = parser.isSet(version);
    line.simulate = parser.isSet(simulate);
    if (parser.isSet(port)) {
        line.port = parser.value(port).toStdString();
        if (line.port.empty()) {
            line.error = "--port needs the path of a serial port";
            return line;
        }
    }
    if (line.simulate && !line.port.empty()) {
        line.error = "--simulate and --port exclude each other";
        return line;
    }
    if (!simulatorOptions.empty() && !line.simulate) {
        line.error = "'" + simulatorOptions.front() + "' is an option of the simulated device; it needs --simulate";
        return line;
    }
    line.simulator = sim::ParseSimOptions(simulatorOptions);
    if (!line.simulator.error.empty())
        line.error = "--simulate: " + line.simulator.error;
    return line;
}

bool WantsCommandLog(std::string_view commandLineText)
{
    return commandLineText.find("/debug") != std::string_view::npos;
}

std::string UsageText()
{
    return "Usage: tervane-q7-dashboard [OPTIONS]\n"
           "\n"
           "Opens the configuration window of the Skellin Q7 attached over USB.\n"
           "\n"
           "Options:\n"
           "  /debug            write every exchange with the device to command.log in the\n"
           "                    current folder (recognised anywhere on the command line)\n"
           "  --port=PATH       use this serial port instead of looking for the device\n"
           "  --simulate        open the dashboard on the built-in simulated Q7, shaped by\n"
           "                    the options of tervane-q7-sim (see its --help), among them:\n"
           "    --count N              N simulated gateways, so the port choice dialog shows\n"
           "    --model Q7|Q7R         the device model (Q7R: three signal lamps)\n"
           "    --signal N             signal quality, 0-31 or 99\n"
           "    --signal-pattern P     steady, sweep, peak or dropouts\n"
           "    --no-radio-config      no configured Ravlo radio: no Ravlo page\n"
           "    --fault NAME[=VALUE]   a device fault, such as no-sim, silent or\n"
           "                           error-for=TEXT (repeatable)\n"
           "    --without PATH, --no-radio-answer, --restart-delay MS, --answer-delay MS,\n"
           "    --link PATH\n"
           "  --help            show this text\n"
           "  --version         show the version\n"
           "\n"
           "Qt's own options are accepted with one dash or two, for example\n"
           "  -platform NAME    the windowing system plugin (xcb, wayland, offscreen)\n"
           "  -style NAME       the widget style (Fusion, Windows)\n"
           "  -reverse          lay the window out right to left\n";
}

} // namespace tervane
