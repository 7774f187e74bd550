#pragma once

// Helpers shared by the launch tests on every system: a copy of the recording helper program, and
// reading back the fields the helper recorded. Their temporary folders are TempDir
// (tests/support/files.h).
#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace launchtest {

namespace fs = std::filesystem;

inline void writeFile(const fs::path& path, const std::string& content, fs::perms perms)
{
    std::ofstream(path, std::ios::binary) << content;
    fs::permissions(path, perms);
}

// Copies the recording helper into a folder under the given name.
inline fs::path installHelper(const fs::path& folder, const std::string& name)
{
    const fs::path target = folder / name;
    fs::copy_file(VENTIRO_RECORD_HELPER, target, fs::copy_options::overwrite_existing);
    fs::permissions(target, fs::perms::owner_all);
    return target;
}

// Waits (polling, up to ten seconds) for the helper's record to appear and returns its NUL-separated
// fields. A record ends with a NUL; until one is read whole (Windows may refuse to open a file another
// program has just renamed) the wait goes on.
inline std::optional<std::vector<std::string>> waitForFields(const fs::path& file)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::string data;
    for (;;) {
        if (fs::exists(file)) {
            std::ifstream in(file, std::ios::binary);
            std::stringstream buffer;
            buffer << in.rdbuf();
            data = buffer.str();
            if (!data.empty() && data.back() == '\0')
                break;
        }
        if (std::chrono::steady_clock::now() > deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (start < data.size()) {
        const std::size_t end = data.find('\0', start);
        fields.push_back(data.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

} // namespace launchtest
