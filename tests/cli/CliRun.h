// Runs the built velloquin-cli as a user would, in a private folder.
#pragma once

#include "support/Readers.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace velloquin::testsupport {

namespace fs = std::filesystem;

// Every regular file's bytes below the folder (or the file's own), one after the other.
inline std::string ReadAll(const fs::path& path) {
    std::ostringstream text;
    if (fs::is_regular_file(path)) text << std::ifstream(path, std::ios::binary).rdbuf();
    if (fs::is_directory(path))
        for (const auto& entry : fs::recursive_directory_iterator(path))
            text << ReadAll(entry.path());
    return text.str();
}

struct Cli : ::testing::Test {
    TempDir root{"velloquin-cli"};
    const fs::path out = root.Path() / "out", src = root.Path() / "src";
    int status = -1;
    std::string output; // standard output and error

    // Our paths and arguments hold no single quote.
    static std::string Quote(const std::string& text) { return "'" + text + "'"; }
    void SetUp() override { fs::create_directories(out); }
    void Run(const std::vector<std::string>& args) {
        std::string command = Quote(VELLOQUIN_CLI);
        for (const auto& arg : args)
            command += " " + Quote(arg);
        const fs::path o = root.Path() / "output";
        const int raw = std::system((command + " </dev/null >" + Quote(o) + " 2>&1").c_str());
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        output = ReadAll(o);
    }
    std::string Backup(const std::string& name, const std::string& text) {
        fs::create_directories(src);
        return WriteFile(src / name, text);
    }
};

} // namespace velloquin::testsupport
