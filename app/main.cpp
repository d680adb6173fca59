// Brevant's entry: reads the command line, then builds the program's objects, runs it, and takes
// it down in reverse order.
#include <cstdio>
#include <memory>

#include "app/CommandLine.h"
#include "app/Program.h"
#include "platform/sound/SoundDevice.h"
#include "platform/system/QuitSignals.h"
#include "platform/window/DisplayScale.h"

namespace {

// Answers --help, --version and a wrong command line before any object exists, so that they
// need no display and neither read nor write the settings. Returns the exit status, or -1 when
// the program should run.
int answerWithoutRunning(const CommandLine& line) {
    switch (line.action) {
        case CommandLine::Action::showVersion:
            std::fputs(versionText().c_str(), stdout);
            return 0;
        case CommandLine::Action::showHelp:
            std::fputs(helpText().c_str(), stdout);
            return 0;
        case CommandLine::Action::fail:
            std::fprintf(stderr, "brevant: %s\n%s", line.error.c_str(), usageHint().c_str());
            return 2;
        case CommandLine::Action::run:
            break;
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    // From the first moment, SIGTERM, SIGINT and SIGHUP end the program by its close path.
    platform::catchQuitSignals();
    const CommandLine line = readCommandLine(argc, argv);
    const int answered = answerWithoutRunning(line);
    if (answered >= 0) return std::fflush(stdout) == 0 ? answered : 1;
    // The window layer chooses the scale when it starts, before the first window.
    if (line.scale) platform::DisplayScale::request(*line.scale);
    platform::SoundDevice::Kind kind = platform::SoundDevice::Kind::automatic;
    if (line.audio && platform::SoundDevice::kindFromName(line.audio->c_str(), kind))
        platform::SoundDevice::request(kind);
    auto program = std::make_unique<Program>();
    const int status = program->run();
    program.reset();
    return status;
}
