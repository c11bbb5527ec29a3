// What the fuzz targets share: a private folder for the files an input needs,
// emptied after every input, and the checks on what a run left in it.
#pragma once

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace velloquin::fuzz {

// One folder per process, so that parallel fuzzing jobs do not meet; removed
// at a normal exit (the replay in the tests), and by the next process when
// libFuzzer ends without exit handlers.
inline const std::filesystem::path& WorkFolder() {
    struct Folder {
        std::filesystem::path path;
        ~Folder() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    };
    static const Folder folder{[] {
        // run-all.sh names a folder it removes afterwards; otherwise a
        // memory-backed one when the system has it (the store writer syncs
        // its file at every close).
        std::error_code ec;
        const char* given = std::getenv("VELLOQUIN_FUZZ_DIR");
        const auto base = given && *given ? std::filesystem::path(given)
                          : std::filesystem::is_directory("/dev/shm", ec)
                              ? std::filesystem::path("/dev/shm")
                              : std::filesystem::temp_directory_path();
        // A folder left by an earlier process that no longer runs goes now.
        for (const auto& entry : std::filesystem::directory_iterator(base, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("velloquin-fuzz-", 0) != 0) continue;
            const long pid = std::strtol(name.c_str() + 15, nullptr, 10);
            if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
                std::filesystem::remove_all(entry.path(), ec);
        }
        const auto path = base / ("velloquin-fuzz-" + std::to_string(::getpid()));
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
        return path;
    }()};
    return folder.path;
}

// The folder with a final separator, as the run's save folder is given.
inline const std::string& WorkFolderText() {
    static const std::string text = WorkFolder().string() + "/";
    return text;
}

inline std::string WriteInput(std::string_view name, std::string_view bytes) {
    const auto path = WorkFolder() / name;
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

// A picture is named by a contact number and ".gif", nothing else.
inline bool IsPictureName(const std::string& name) {
    if (name.size() <= 4 || name.substr(name.size() - 4) != ".gif") return false;
    for (size_t i = 0; i + 4 < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    return true;
}

// Removes everything the input left behind.
inline void EmptyWorkFolder() {
    for (const auto& entry : std::filesystem::directory_iterator(WorkFolder()))
        std::filesystem::remove_all(entry.path());
}

} // namespace velloquin::fuzz
