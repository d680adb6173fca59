// The command line: the program's two options, the errors that end it with status 2, options
// with values, and the help text's shape.
#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using Action = CommandLine::Action;

CommandLine read(std::vector<std::string> args) {
    std::vector<const char*> argv = {"brevant"};
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    return readCommandLine(static_cast<int>(argv.size()), argv.data());
}

// A table with an option that takes a value, as --scale N will: the value must be a whole
// number from 1 to 4, and the last one given counts.
int scaleSeen = 0;

bool takeScale(CommandLine& line, const std::string& value) {
    if (value.size() != 1 || value[0] < '1' || value[0] > '4') {
        line.error = "invalid scale '" + value + "'";
        return false;
    }
    scaleSeen = value[0] - '0';
    return true;
}

std::vector<CommandLineOption> tableWithValue() {
    std::vector<CommandLineOption> table = programOptions();
    table.push_back({"scale", 's', "N", "draw N times larger", takeScale});
    return table;
}

}  // namespace

TEST(CommandLine, LongAndShortFormsAskForVersionOrHelpAndNothingRunsTheProgram) {
    EXPECT_EQ(read({}).action, Action::run);
    EXPECT_EQ(read({"--version"}).action, Action::showVersion);
    EXPECT_EQ(read({"-v"}).action, Action::showVersion);
    EXPECT_EQ(read({"--help"}).action, Action::showHelp);
    EXPECT_EQ(read({"-h"}).action, Action::showHelp);
    EXPECT_EQ(read({"--"}).action, Action::run);
    // The first one asked for is answered.
    EXPECT_EQ(read({"-v", "--help"}).action, Action::showVersion);
    EXPECT_EQ(read({"--help", "-v"}).action, Action::showHelp);
}

TEST(CommandLine, AnythingUnknownFailsWithOneLineNamingIt) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--volume"}, "unknown option '--volume'"},
        {{"-x"}, "unknown option '-x'"},
        {{"-hv"}, "unknown option '-hv'"},  // short options are not bundled
        {{"--Version"}, "unknown option '--Version'"},
        {{"---version"}, "unknown option '---version'"},
        {{"--version=2"}, "option '--version' takes no value"},
        {{"settings.cfg"}, "unexpected argument 'settings.cfg'"},
        {{"-"}, "unexpected argument '-'"},
        {{"--", "--help"}, "unexpected argument '--help'"},
        // An error decides even after --help, so a mistyped line is never taken silently.
        {{"--help", "--bogus"}, "unknown option '--bogus'"},
    };
    for (const auto& [args, message] : cases) {
        CommandLine line = read(args);
        EXPECT_EQ(line.action, Action::fail) << args[0];
        EXPECT_EQ(line.error, message);
    }
}

TEST(CommandLine, AValueFollowsItsOptionOrComesAfterAnEqualsSign) {
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"--scale", "2"}, 2},
        {{"--scale=3"}, 3},
        {{"-s", "4"}, 4},
        {{"--scale", "2", "-s", "1"}, 1},
    };
    for (const auto& [args, scale] : cases) {
        scaleSeen = 0;
        CommandLine line = readCommandLine(args, tableWithValue());
        EXPECT_EQ(line.action, Action::run) << args[0] << " " << line.error;
        EXPECT_EQ(scaleSeen, scale) << args[0];
    }
    // The value is taken as it stands, even when it looks like an option.
    std::vector<FoundOption> found;
    std::string error;
    const std::vector<CommandLineOption> table = tableWithValue();
    ASSERT_TRUE(splitCommandLine({"--scale", "-v", "--scale="}, table, found, error));
    ASSERT_EQ(found.size(), 2u);
    EXPECT_STREQ(table[found[0].row].longName, "scale");
    EXPECT_EQ(found[0].value, "-v");
    EXPECT_EQ(found[1].value, "");
}

TEST(CommandLine, AMissingOrUnusableValueFails) {
    CommandLine missing = readCommandLine({"--scale"}, tableWithValue());
    EXPECT_EQ(missing.action, Action::fail);
    EXPECT_EQ(missing.error, "option '--scale' needs a value");
    EXPECT_EQ(readCommandLine({"-v", "-s"}, tableWithValue()).error, "option '-s' needs a value");
    CommandLine unusable = readCommandLine({"--help", "--scale=9"}, tableWithValue());
    EXPECT_EQ(unusable.action, Action::fail);
    EXPECT_EQ(unusable.error, "invalid scale '9'");
}

TEST(CommandLine, HelpListsEveryOptionWithinEightyColumns) {
    std::vector<CommandLineOption> table = programOptions();
    const std::string help = helpText();
    for (const CommandLineOption& option : table) {
        std::string row = std::string("--") + option.longName;
        row = option.shortName != 0 ? std::string("  -") + option.shortName + ", " + row
                                    : "      " + row;
        EXPECT_NE(help.find(row), std::string::npos) << row;
    }
    EXPECT_EQ(help.rfind("Usage: brevant [OPTION]\n", 0), 0u);
    EXPECT_EQ(help.back(), '\n');
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);)
        EXPECT_LE(line.size(), 80u) << line;
}
