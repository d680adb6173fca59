// The command line: splitting arguments by the option table, and the texts of --version and --help.
#include "app/CommandLine.h"

#include <cstdlib>
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

bool takeScale(CommandLine& line, const std::string& value) {
    line.scale = value;
    return true;
}

bool knownDevice(const std::string& name) {
    return name == "jack" || name == "pulse" || name == "sdl";
}

bool takeAudio(CommandLine& line, const std::string& value) {
    if (!knownDevice(value)) {
        line.error = "unknown sound device '" + value + "' (jack, pulse or sdl)";
        return false;
    }
    line.audio = value;
    return true;
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

constexpr std::size_t notFound = static_cast<std::size_t>(-1);

// An option argument taken apart: "--name", "--name=value" or "-n".
struct Spelling {
    bool asLong = false;
    std::string name;
    bool hasInlineValue = false;
    std::string inlineValue;
};

Spelling spell(const std::string& arg) {
    Spelling s;
    s.asLong = startsWith(arg, "--");
    s.name = arg.substr(s.asLong ? 2 : 1);
    const std::size_t equals = s.asLong ? s.name.find('=') : std::string::npos;
    if (equals == std::string::npos) return s;
    s.hasInlineValue = true;
    s.inlineValue = s.name.substr(equals + 1);
    s.name.erase(equals);
    return s;
}

std::size_t findRow(const std::vector<CommandLineOption>& table, const Spelling& s) {
    for (std::size_t row = 0; row < table.size(); row++) {
        if (s.asLong && s.name == table[row].longName) return row;
        if (!s.asLong && s.name.size() == 1 && table[row].shortName != 0 &&
            s.name[0] == table[row].shortName)
            return row;
    }
    return notFound;
}

// The option's name as the user wrote it, for messages.
std::string spelled(const CommandLineOption& option, bool asLong) {
    if (asLong) return std::string("--") + option.longName;
    return std::string("-") + option.shortName;
}

// Reads the option argument at args[i] and its value, which may be the next argument (then i
// moves past it).
bool takeOption(const std::vector<std::string>& args, std::size_t& i,
                const std::vector<CommandLineOption>& table, std::vector<FoundOption>& found,
                std::string& error) {
    const Spelling s = spell(args[i]);
    const std::size_t row = findRow(table, s);
    if (row == notFound) {
        error = "unknown option '" + args[i] + "'";
        return false;
    }
    const CommandLineOption& option = table[row];
    const bool takesValue = option.valueName != nullptr;
    if (!takesValue && s.hasInlineValue) {
        error = "option '" + spelled(option, s.asLong) + "' takes no value";
        return false;
    }
    FoundOption result{row, s.inlineValue};
    if (takesValue && !s.hasInlineValue) {
        if (i + 1 >= args.size()) {
            error = "option '" + spelled(option, s.asLong) + "' needs a value";
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

const char* const keysText =
    "Keys:\n"
    "  SPACE                 start or stop\n"
    "  + and -               tempo up or down by one beat per minute\n"
    "  0 to 9                beats per bar (0: no accent)\n"
    "  ENTER                 tap the tempo\n"
    "  S                     subdivision: 1 to 6 pulses a beat, round and round\n"
    "  L                     Link on or off\n"
    "  ESC                   quit\n"
    "The grip at the left of the title bar opens the menu; \"Practice...\" there sets\n"
    "the subdivision, a tempo trainer and silent bars. A click on a beat's marker on\n"
    "the dial cycles its level: accent, normal, soft, silent.\n";

// What Link does, and that it is off until asked for.
const char* const linkText =
    "Link (off by default; the L key or the menu's Link entry) joins the Ableton\n"
    "Link session of the local network: Brevant then plays the session's tempo,\n"
    "exactly, with its bar starts on the session's bars (the quantum is the beats\n"
    "per bar), and starts and stops with the peers that share start and stop. Its\n"
    "own tempo changes and its Play go to the session. The menu entry shows the\n"
    "number of peers. The choice is kept in the settings as link.\n";

// How the display scale is chosen; the window layer makes the choice.
const char* const scaleText =
    "The scale is taken from --scale, else from BREVANT_SCALE, else from the\n"
    "desktop's GDK_SCALE, else from the X server's Xft.dpi (dpi / 96, rounded),\n"
    "else 1. A value that is not a whole number from 1 to 4 is ignored with a\n"
    "warning, and the next source is asked.\n";

// How the sound device is chosen; the sound layer makes the choice.
const char* const soundText =
    "Sound goes to the device named by --audio, else by BREVANT_AUDIO: pulse (the\n"
    "desktop's sound server), jack (a JACK client \"brevant\" with ports left, right\n"
    "and the MIDI clock port clock) or sdl. Without a name: SDL when\n"
    "SDL_AUDIODRIVER is set, else the sound server when one answers, else JACK when\n"
    "a JACK server runs (none is started), else SDL. JACK_DEFAULT_SERVER names the\n"
    "JACK server; BREVANT_JACK_CONNECT=0 leaves the ports unconnected.\n";

// Where the samples and the settings are looked for; the last sample folder is the one this
// build installs into.
std::string placesText() {
    return std::string(
               "Click samples (1.wav, 1a.wav, 2.wav, 2a.wav) are looked for beside the program,\n"
               "then in ../share/brevant/ next to the program's folder, then in\n") +
           installedDataFolder +
           ".\n"
           "\n"
           "Settings (settings.cfg) are kept beside the program when its folder holds the\n"
           "click samples and can be written (a portable copy). Otherwise they are kept in\n"
           "$XDG_CONFIG_HOME/brevant/settings.cfg (by default in ~/.config/brevant/); a\n"
           "settings.cfg beside an installed program is never written, and gives the first\n"
           "values to a user who has none yet.\n";
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
        {"scale", 's', "N", "draw the windows N times larger (1 to 4)", takeScale},
        {"audio", 'a', "DEVICE", "play through jack, pulse or sdl", takeAudio},
    };
    return table;
}

CommandLine readCommandLine(int argc, const char* const* argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; i++)
        args.emplace_back(argv[i]);
    CommandLine line = readCommandLine(args, programOptions());
    if (line.action == CommandLine::Action::run && !line.audio)
        takeAudioFromEnvironment(line, std::getenv("BREVANT_AUDIO"));
    return line;
}

bool takeAudioFromEnvironment(CommandLine& line, const char* value) {
    if (value == nullptr || value[0] == '\0') return true;
    if (knownDevice(value)) {
        line.audio = value;
        return true;
    }
    line.action = CommandLine::Action::fail;
    line.error = std::string("BREVANT_AUDIO names an unknown sound device '") + value +
                 "' (jack, pulse or sdl)";
    return false;
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
        if (!table[option.row].apply(line, option.value)) {
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
        "Without --help or --version it opens its window.\n"
        "\n"
        "Options:\n";
    for (const CommandLineOption& option : programOptions())
        text += optionColumn(option) + option.help + "\n";
    return text + "\n" + scaleText + "\n" + soundText + "\n" + keysText + "\n" + linkText + "\n" +
           placesText();
}

std::string usageHint() {
    return "Try 'brevant --help' for more information.\n";
}
