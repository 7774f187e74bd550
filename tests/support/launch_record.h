#pragma once

// What the launch tests share: copies of the recording helper program (tests/launch_record_helper.cpp),
// reading back what it recorded, and environment changes undone at the end of a scope.
#include "tests/support/files.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace launchtest {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& content, fs::perms perms);

// Copies the recording helper into a folder under the given name.
fs::path installHelper(const fs::path& folder, const std::string& name);

struct Record
{
    std::string cwd;
    std::string session;
    std::string stdinKind;
    std::string signals;     // "SigBlk<mask>SigIgn<mask>" as the kernel shows them
    std::string descriptors; // the open descriptors in the order the kernel lists them, "0,1,2"
    std::vector<std::string> argv;
};

// Waits (up to ten seconds) for the helper's record to appear and reads it.
std::optional<Record> waitForRecord(const fs::path& file);

// Points the helper at a record file for the lifetime of the object.
class RecordTo
{
public:
    explicit RecordTo(const fs::path& file);
    ~RecordTo();
    RecordTo(const RecordTo&) = delete;
    RecordTo& operator=(const RecordTo&) = delete;
};

// Replaces PATH for the lifetime of the object.
class PathSetTo
{
public:
    explicit PathSetTo(const std::string& value);
    ~PathSetTo();
    PathSetTo(const PathSetTo&) = delete;
    PathSetTo& operator=(const PathSetTo&) = delete;

private:
    std::optional<std::string> m_old;
};

// Waits (polling, up to thirty seconds) until this process has no child left, neither running nor
// ended and unreaped; false when one is left. It reaps nothing itself: the started programs are the
// shell's to reap.
bool noChildLeft();

} // namespace launchtest
