// Brevant's entry: builds the program's objects, runs it, and takes it down in reverse order.
#include <memory>

#include "app/Program.h"

int main() {
    auto program = std::make_unique<Program>();
    const int status = program->run();
    program.reset();
    return status;
}
