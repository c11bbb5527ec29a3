// The command line and the console: arguments and printed text are UTF-8
// inside the program whatever the system hands over or shows.
#pragma once

#include <string>
#include <vector>

namespace velloquin::platform {

// The program's arguments, argv[0] included, as UTF-8. Windows passes argv in
// the ANSI code page, which loses characters outside it; the command line is
// then taken again from the system in UTF-16.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// Makes UTF-8 text written to std::cout and std::cerr show as such on a
// Windows console (which would take the bytes in its own code page). Output to
// a file or a pipe stays UTF-8 bytes. Nothing to do elsewhere.
void UseUtf8Console();

bool StderrIsTerminal();

} // namespace velloquin::platform
