#include "CliTestSupport.h"

#include "RunCli.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <gtest/gtest.h>

#include <sstream>

namespace tervane::test {

CliRun RunTool(const std::vector<std::string>& args, const CliSetting& setting)
{
    std::istringstream in(setting.input);
    std::ostringstream out;
    std::ostringstream err;
    CliEnvironment environment;
    environment.in = &in;
    environment.out = &out;
    environment.err = &err;
    environment.inputIsTerminal = setting.inputIsTerminal;
    environment.errorIsTerminal = setting.errorIsTerminal;
    environment.outputIsTerminal = setting.outputIsTerminal;
    environment.clock = setting.clock;
    environment.sysRoot = setting.sysRoot;
    environment.devDir = setting.devDir;
    CliRun run;
    run.status = RunCli(args, environment);
    run.out = out.str();
    run.err = err.str();
    return run;
}

QJsonObject ParseJson(const std::string& out)
{
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(out), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << " in:\n" << out;
    EXPECT_TRUE(document.isObject()) << out;
    return document.object();
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

} // namespace tervane::test
