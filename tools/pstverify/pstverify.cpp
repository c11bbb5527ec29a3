// pstverify FILE [--trailing] [--leaks] [--ndb-only]
// Prints every structural problem of a .pst file, one per line, and exits
// with 1 when there is any (2 when the file cannot be read at all).
#include "tools/pstverify/PstVerifier.h"

#include <cstring>
#include <iostream>

int main(int argc, char** argv) {
    using namespace velloquin::pstverify;
    VerifyOptions options;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--trailing") == 0)
            options.allowTrailingBytes = true;
        else if (std::strcmp(argv[i], "--leaks") == 0)
            options.allowLeakedSpace = true;
        else if (std::strcmp(argv[i], "--ndb-only") == 0)
            options.checkMessaging = false;
        else
            path = argv[i];
    }
    if (!path) {
        std::cerr << "usage: pstverify FILE [--trailing] [--leaks] [--ndb-only]\n";
        return 2;
    }
    const VerifyResult result = VerifyPstFile(path, options);
    const VerifyStats& s = result.stats;
    std::cout << path << ": " << s.regions << " regions, " << s.pages << " pages, " << s.blocks
              << " blocks, " << s.nodes << " nodes, " << s.folders << " folders, " << s.messages
              << " messages, NBT depth " << s.nbtLevels << ", BBT depth " << s.bbtLevels << "\n";
    std::cout << result.Describe();
    if (result.Has("file-open")) return 2;
    std::cout << (result.Ok() ? "OK\n" : "FAILED\n");
    return result.Ok() ? 0 : 1;
}
