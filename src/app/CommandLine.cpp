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
    for (const std::string& arg : args) {
        if (!line.text.empty())
            line.text += ' ';
        line.text += arg;
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
    if (line.simulate && !line.port.empty())
        line.error = "--simulate and --port exclude each other";
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
           "  --simulate        open the dashboard on the built-in simulated Q7\n"
           "  --help            show this text\n"
           "  --version         show the version\n"
           "\n"
           "Qt's own options are accepted with one dash or two, for example\n"
           "  -platform NAME    the windowing system plugin (xcb, wayland, offscreen)\n"
           "  -style NAME       the widget style (Fusion, Windows)\n"
           "  -reverse          lay the window out right to left\n";
}

} // namespace tervane
