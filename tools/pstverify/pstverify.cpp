// pstverify FILE [--trailing] [--leaks] [--ndb-only]
// Prints every structural problem of a .pst file, one per line, and exits
// with 1 when there is any (2 when the file cannot be read at all).
#include "platform/Console.h"
#include "tools/pstverify/PstVerifier.h"

#include <iostream>
#include <optional>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace velloquin::pstverify;
    velloquin::platform::UseUtf8Console();
    const std::vector<std::string> args = velloquin::platform::CommandLineArguments(argc, argv);
    VerifyOptions options;
    std::optional<std::string> path;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--trailing")
            options.allowTrailingBytes = true;
        else if (args[i] == "--leaks")
            options.allowLeakedSpace = true;
        else if (args[i] == "--ndb-only")
            options.checkMessaging = false;
        else
            path = args[i];
    }
    if (!path) {
        std::cerr << "usage: pstverify FILE [--trailing] [--leaks] [--ndb-only]\n";
        return 2;
    }
    const VerifyResult result = VerifyPstFile(*path, options);
    const VerifyStats& s = result.stats;
    std::cout << *path << ": " << s.regions << " regions, " << s.pages << " pages, " << s.blocks
              << " blocks, " << s.nodes << " nodes, " << s.folders << " folders, " << s.messages
              << " messages, NBT depth " << s.nbtLevels << ", BBT depth " << s.bbtLevels << "\n";
    std::cout << result.Describe();
    if (result.Has("file-open")) return 2;
    std::cout << (result.Ok() ? "OK\n" : "FAILED\n");
    return result.Ok() ? 0 : 1;
}
