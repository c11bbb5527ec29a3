#include "platform/Console.h"

#include <cstdio>
#include <unistd.h>

namespace velloquin::platform {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void UseUtf8Console() {}

bool StderrIsTerminal() {
    return ::isatty(::fileno(stderr)) != 0;
}

} // namespace velloquin::platform
