// Brevant's entry: builds the program's objects, runs it, and takes it down in reverse order.
#include <memory>

#include "app/Program.h"
#include "platform/QuitSignals.h"

int main() {
    // From the first moment, SIGTERM, SIGINT and SIGHUP end the program by its close path.
    platform::catchQuitSignals();
    auto program = std::make_unique<Program>();
    const int status = program->run();
    program.reset();
    return status;
}
