// CommandLine: the program's options, read before any of the program's objects is built.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// What the command line asks of the program. Building the program's objects loads the settings
// and destroying them writes the settings, so everything but `run` is answered in main before
// that, without a display and without touching any file.
struct CommandLine {
    enum class Action { run, showVersion, showHelp, fail };

    Action action = Action::run;
    std::string error;  // for `fail`: one line saying what was wrong, without a line end
    // --scale's value as typed (the last one given). The window layer judges it when it starts,
    // and falls back to the next source of the scale when the value is not one; it is never a
    // reason to stop.
    std::optional<std::string> scale;
    // The sound device named by --audio, else by BREVANT_AUDIO: "jack", "pulse" or "sdl"; none
    // lets the program choose. Any other name is an error of the line.
    std::optional<std::string> audio;
};

// One option the program knows. Adding one is a row in the table of CommandLine.cpp, a field
// in CommandLine and a function that fills it in from the option's value.
struct CommandLineOption {
    const char* longName;   // "version" for --version
    char shortName;         // 'v' for -v, or 0 for none
    const char* valueName;  // "N" for an option written --scale N, or nullptr for a flag
    const char* help;       // the option's line in --help
    // Takes the option (and its value) into the command line; false with `error` set when the
    // value cannot be used.
    bool (*apply)(CommandLine& line, const std::string& value);
};

// An option found on the command line: its row in the table, and its value when it has one.
struct FoundOption {
    std::size_t row = 0;
    std::string value;
};

// Splits the arguments (without the program name) by the table. A value follows its option as
// the next argument (--scale 2, -s 2) or after "=" (--scale=2); short options are not bundled
// (-hv is unknown); "--" ends the options. Returns false with a one-line `error` for an unknown
// option, a missing value, a value given to a flag, or any argument that is not an option, since
// the program takes none.
bool splitCommandLine(const std::vector<std::string>& args,
                      const std::vector<CommandLineOption>& table, std::vector<FoundOption>& found,
                      std::string& error);

// The options the program knows, in the order --help lists them.
const std::vector<CommandLineOption>& programOptions();

// Reads the program's command line (argv[0] is the program's name and is skipped) and, when
// the program is to run without --audio, BREVANT_AUDIO. Any error (an unknown option, a missing or
// unusable value, an unknown device in BREVANT_AUDIO) makes it `fail`; otherwise the first of
// --help and
// --version decides.
CommandLine readCommandLine(int argc, const char* const* argv);
// Takes a device name from the environment into a line read without --audio; false with the
// line failed when the name is not a device's.
bool takeAudioFromEnvironment(CommandLine& line, const char* value);
// The same over the arguments alone, by the given table.
CommandLine readCommandLine(const std::vector<std::string>& args,
                            const std::vector<CommandLineOption>& table);

// "Brevant 1.0" and a line end.
std::string versionText();
// The usage: synopsis, options, keys, where samples and settings are looked for.
std::string helpText();
// The line that follows an error on standard error.
std::string usageHint();
