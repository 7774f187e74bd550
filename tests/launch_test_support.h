#pragma once

// Helpers shared by the launch tests: a temporary folder that cleans up after itself, a copy of the
// recording helper program, and reading back what the helper recorded.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace launchtest {

namespace fs = std::filesystem;

class TempFolder
{
public:
    TempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "ventiro-launch-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        m_path = fs::canonical(pattern);
    }
    ~TempFolder()
    {
        std::error_code ec;
        for (auto& entry : fs::recursive_directory_iterator(m_path, ec))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(m_path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const fs::path& path() const { return m_path; }
    std::string str() const { return m_path.string(); }

private:
    fs::path m_path;
};

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

struct Record
{
    std::string cwd;
    std::string session;
    std::string stdinKind;
    std::string signals;     // "SigBlk<mask>SigIgn<mask>" as the kernel shows them
    std::string descriptors; // the open descriptors in the order the kernel lists them, "0,1,2"
    std::vector<std::string> argv;
};

// Waits (polling, up to ten seconds) for the helper's record to appear and reads it.
inline std::optional<Record> waitForRecord(const fs::path& file)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(file)) {
        if (std::chrono::steady_clock::now() > deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::ifstream in(file, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string data = buffer.str();
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (start < data.size()) {
        const std::size_t end = data.find('\0', start);
        if (end == std::string::npos)
            break;
        fields.push_back(data.substr(start, end - start));
        start = end + 1;
    }
    if (fields.size() < 5)
        return std::nullopt;
    Record record{fields[0], fields[1], fields[2], fields[3], fields[4], {fields.begin() + 5, fields.end()}};
    return record;
}

// Points the helper at a record file for the lifetime of the object.
class RecordTo
{
public:
    explicit RecordTo(const fs::path& file) { ::setenv("VENTIRO_RECORD_FILE", file.c_str(), 1); }
    ~RecordTo() { ::unsetenv("VENTIRO_RECORD_FILE"); }
};

// Replaces PATH for the lifetime of the object.
class PathSetTo
{
public:
    explicit PathSetTo(const std::string& value)
    {
        const char* old = std::getenv("PATH");
        if (old != nullptr)
            m_old = old;
        ::setenv("PATH", value.c_str(), 1);
    }
    ~PathSetTo()
    {
        if (m_old)
            ::setenv("PATH", m_old->c_str(), 1);
        else
            ::unsetenv("PATH");
    }

private:
    std::optional<std::string> m_old;
};

// Waits (polling, up to thirty seconds) until this process has no child left, neither running nor
// ended and unreaped; false when one is left. It reaps nothing itself: the started programs are the
// shell's to reap.
inline bool noChildLeft()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        siginfo_t info{};
        errno = 0;
        if (::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == -1 && errno == ECHILD)
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

} // namespace launchtest
