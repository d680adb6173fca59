// The command line: the program's options, the errors that end it with status 2, options with
// values, and the help text's shape.
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

// A table with one more option that takes a value and refuses some: the value must be a whole
// number from 1 to 4, and the last one given counts.
int levelSeen = 0;

bool takeLevel(CommandLine& line, const std::string& value) {
    if (value.size() != 1 || value[0] < '1' || value[0] > '4') {
        line.error = "invalid level '" + value + "'";
        return false;
    }
    levelSeen = value[0] - '0';
    return true;
}

std::vector<CommandLineOption> tableWithValue() {
    std::vector<CommandLineOption> table = programOptions();
    table.push_back({"level", 'l', "N", "work at level N", takeLevel});
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
        {{"--level", "2"}, 2},
        {{"--level=3"}, 3},
        {{"-l", "4"}, 4},
        {{"--level", "2", "-l", "1"}, 1},
    };
    for (const auto& [args, level] : cases) {
        levelSeen = 0;
        CommandLine line = readCommandLine(args, tableWithValue());
        EXPECT_EQ(line.action, Action::run) << args[0] << " " << line.error;
        EXPECT_EQ(levelSeen, level) << args[0];
    }
    // The value is taken as it stands, even when it looks like an option.
    std::vector<FoundOption> found;
    std::string error;
    const std::vector<CommandLineOption> table = tableWithValue();
    ASSERT_TRUE(splitCommandLine({"--level", "-v", "--level="}, table, found, error));
    ASSERT_EQ(found.size(), 2u);
    EXPECT_STREQ(table[found[0].row].longName, "level");
    EXPECT_EQ(found[0].value, "-v");
    EXPECT_EQ(found[1].value, "");
}

TEST(CommandLine, AMissingOrUnusableValueFails) {
    CommandLine missing = readCommandLine({"--level"}, tableWithValue());
    EXPECT_EQ(missing.action, Action::fail);
    EXPECT_EQ(missing.error, "option '--level' needs a value");
    EXPECT_EQ(readCommandLine({"-v", "-l"}, tableWithValue()).error, "option '-l' needs a value");
    CommandLine unusable = readCommandLine({"--help", "--level=9"}, tableWithValue());
    EXPECT_EQ(unusable.action, Action::fail);
    EXPECT_EQ(unusable.error, "invalid level '9'");
}

// The window layer judges the scale and falls back from a value it cannot use, so the command
// line keeps any value as typed (the last one given) and runs; only a missing value stops it.
TEST(CommandLine, ScaleKeepsItsValueAsTypedAndNeverStopsTheProgram) {
    EXPECT_FALSE(read({}).scale.has_value());
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--scale", "2"}, "2"},       {{"-s", "x"}, "x"}, {{"--scale=0"}, "0"}, {{"--scale="}, ""},
        {{"-s", "5", "-s", "3"}, "3"},
    };
    for (const auto& [args, value] : cases) {
        CommandLine line = read(args);
        EXPECT_EQ(line.action, Action::run) << args[0] << " " << line.error;
        ASSERT_TRUE(line.scale.has_value()) << args[0];
        EXPECT_EQ(*line.scale, value) << args[0];
    }
    EXPECT_EQ(read({"--scale"}).action, Action::fail);
    EXPECT_EQ(read({"--scale", "2", "-v"}).action, Action::showVersion);
}

// --audio names the device and comes before BREVANT_AUDIO; an unknown name from either is an
// error of the line, while an empty variable counts as unset.
TEST(CommandLine, AudioNamesOneOfThreeDevicesAndAnythingElseFails) {
    EXPECT_EQ(read({"--audio", "jack"}).audio.value_or(""), "jack");
    EXPECT_EQ(read({"-a", "sdl"}).audio.value_or(""), "sdl");
    const CommandLine wrong = read({"--audio=alsa"});
    EXPECT_EQ(wrong.action, Action::fail);
    EXPECT_EQ(wrong.error, "unknown sound device 'alsa' (jack, pulse or sdl)");
    CommandLine line;
    EXPECT_TRUE(takeAudioFromEnvironment(line, ""));
    EXPECT_FALSE(line.audio.has_value());
    EXPECT_TRUE(takeAudioFromEnvironment(line, "pulse"));
    EXPECT_EQ(line.audio.value_or(""), "pulse");
    EXPECT_FALSE(takeAudioFromEnvironment(line, "oss"));
    EXPECT_EQ(line.action, Action::fail);
    EXPECT_EQ(line.error, "BREVANT_AUDIO names an unknown sound device 'oss' (jack, pulse or sdl)");
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
