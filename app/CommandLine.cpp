// The command line: splitting arguments by the option table, and the texts of --version and --help.
#include "app/CommandLine.h"

#include <cstring>

#include "base/BuildInfo.h"

namespace {

// The first of --help and --version on the line is the one answered.
bool askForHelp(CommandLine& line, const std::string&) {
    if (line.action == CommandLine::Action::run) line.action = CommandLine::Action::showHelp;
    return true;
}

bool askForVersion(CommandLine& line, const std::string&) {
    if (line.action == CommandLine::Action::run) line.action = CommandLine::Action::showVersion;
    return true;
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

const CommandLineOption* findLong(const std::vector<CommandLineOption>& table,
                                  const std::string& name) {
    for (const CommandLineOption& option : table)
        if (name == option.longName) return &option;
    return nullptr;
}

const CommandLineOption* findShort(const std::vector<CommandLineOption>& table, char name) {
    for (const CommandLineOption& option : table)
        if (option.shortName != 0 && option.shortName == name) return &option;
    return nullptr;
}

// The option's name as the user wrote it, for messages.
std::string spelled(const CommandLineOption& option, bool asLong) {
    if (asLong) return std::string("--") + option.longName;
    return std::string("-") + option.shortName;
}

// Reads one option argument at args[i] (and its value, which may be the next argument, moving
// i past it). The spelling "--name=value" gives the value inline.
bool takeOption(const std::vector<std::string>& args, std::size_t& i,
                const std::vector<CommandLineOption>& table, std::vector<FoundOption>& found,
                std::string& error) {
    const std::string& arg = args[i];
    const bool asLong = startsWith(arg, "--");
    std::string name = asLong ? arg.substr(2) : arg.substr(1);
    std::string inlineValue;
    const std::size_t equals = asLong ? name.find('=') : std::string::npos;
    if (equals != std::string::npos) {
        inlineValue = name.substr(equals + 1);
        name.erase(equals);
    }
    const CommandLineOption* option = nullptr;
    if (asLong) option = findLong(table, name);
    if (!asLong && name.size() == 1) option = findShort(table, name[0]);
    if (option == nullptr) {
        error = "unknown option '" + arg + "'";
        return false;
    }
    FoundOption result{option, inlineValue};
    if (option->valueName == nullptr) {
        if (equals == std::string::npos) {
            found.push_back(result);
            return true;
        }
        error = "option '" + spelled(*option, asLong) + "' takes no value";
        return false;
    }
    if (equals == std::string::npos) {
        if (i + 1 >= args.size()) {
            error = "option '" + spelled(*option, asLong) + "' needs a value";
            return false;
        }
        result.value = args[++i];
    }
    found.push_back(result);
    return true;
}

// "  -v, --version" or "      --scale N", padded to the column of the help texts.
std::string optionColumn(const CommandLineOption& option) {
    std::string column = option.shortName != 0 ? std::string("  -") + option.shortName + ", "
                                               : std::string("      ");
    column += std::string("--") + option.longName;
    if (option.valueName != nullptr) column += std::string(" ") + option.valueName;
    const std::size_t width = 24;
    column += column.size() < width ? std::string(width - column.size(), ' ') : "  ";
    return column;
}

}  // namespace

bool splitCommandLine(const std::vector<std::string>& args,
                      const std::vector<CommandLineOption>& table, std::vector<FoundOption>& found,
                      std::string& error) {
    found.clear();
    for (std::size_t i = 0; i < args.size(); i++) {
        const std::string& arg = args[i];
        if (arg == "--") {
            if (i + 1 == args.size()) return true;
            error = "unexpected argument '" + args[i + 1] + "'";
            return false;
        }
        if (arg.size() < 2 || arg[0] != '-') {
            error = "unexpected argument '" + arg + "'";
            return false;
        }
        if (!takeOption(args, i, table, found, error)) return false;
    }
    return true;
}

const std::vector<CommandLineOption>& programOptions() {
    static const std::vector<CommandLineOption> table = {
        {"help", 'h', nullptr, "show this help and exit", askForHelp},
        {"version", 'v', nullptr, "show the version and exit", askForVersion},
    };
    return table;
}

CommandLine readCommandLine(int argc, const char* const* argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; i++)
        args.emplace_back(argv[i]);
    return readCommandLine(args, programOptions());
}

CommandLine readCommandLine(const std::vector<std::string>& args,
                            const std::vector<CommandLineOption>& table) {
    CommandLine line;
    std::vector<FoundOption> found;
    if (!splitCommandLine(args, table, found, line.error)) {
        line.action = CommandLine::Action::fail;
        return line;
    }
    for (const FoundOption& option : found) {
        if (!option.option->apply(line, option.value)) {
            line.action = CommandLine::Action::fail;
            return line;
        }
    }
    return line;
}

std::string versionText() {
    return std::string("Brevant ") + programVersion + "\n";
}

std::string helpText() {
    std::string text =
        "Usage: brevant [OPTION]\n"
        "A metronome whose beat follows the sound card's sample clock.\n"
        "Without an option it opens its window.\n"
        "\n"
        "Options:\n";
    for (const CommandLineOption& option : programOptions())
        text += optionColumn(option) + option.help + "\n";
    text +=
        "\n"
        "Keys:\n"
        "  SPACE                 start or stop\n"
        "  + and -               tempo up or down by one beat per minute\n"
        "  0 to 9                beats per bar (0: no accent)\n"
        "  ENTER                 tap the tempo\n"
        "  ESC                   quit\n"
        "The grip at the left of the title bar opens the menu.\n"
        "\n"
        "Click samples (1.wav, 1a.wav, 2.wav, 2a.wav) are looked for beside the program,\n"
        "then in ../share/brevant/ next to the program's folder, then in\n";
    text += std::string(installedDataFolder) + ".\n";
    text +=
        "\n"
        "Settings (settings.cfg) are kept beside the program when its folder holds the\n"
        "click samples and can be written (a portable copy). Otherwise they are kept in\n"
        "$XDG_CONFIG_HOME/brevant/settings.cfg (by default in ~/.config/brevant/); a\n"
        "settings.cfg beside an installed program is never written, and gives the first\n"
        "values to a user who has none yet.\n";
    return text;
}

std::string usageHint() {
    return "Try 'brevant --help' for more information.\n";
}
