#include "Readpst.h"

#include "LibreOffice.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace velloquin::testsupport {

std::vector<std::string> ReadpstContactNames(const std::filesystem::path& store) {
    TempDir out("velloquin-readpst");
    // Single quotes: our temporary paths hold none.
    const std::string command = "readpst -cv -j0 -o '" + out.Path().string() + "' '" +
                                store.string() + "' >'" + (out.Path() / "log").string() + "' 2>&1";
    if (std::system(command.c_str()) != 0) {
        std::ifstream log(out.Path() / "log");
        throw std::runtime_error("readpst failed on " + store.string() + ": " +
                                 std::string(std::istreambuf_iterator<char>(log), {}));
    }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(out.Path())) {
        if (!entry.is_regular_file() || entry.path().filename() == "log") continue;
        std::ifstream in(entry.path());
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.starts_with("N:")) names.push_back(line.substr(2));
        }
    }
    return names;
}

bool ReadpstAvailable() {
#ifdef _WIN32
    return false;
#else
    return true;
#endif
}

} // namespace velloquin::testsupport
