#include "tests/support/launch_record.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <thread>

namespace launchtest {

void writeFile(const fs::path& path, const std::string& content, fs::perms perms)
{
    std::ofstream(path, std::ios::binary) << content;
    fs::permissions(path, perms);
}

fs::path installHelper(const fs::path& folder, const std::string& name)
{
    const fs::path target = folder / name;
    fs::copy_file(VENTIRO_RECORD_HELPER, target, fs::copy_options::overwrite_existing);
    fs::permissions(target, fs::perms::owner_all);
    return target;
}

std::optional<Record> waitForRecord(const fs::path& file)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(file)) {
        if (std::chrono::steady_clock::now() > deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5)); // poll until the record is there
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

RecordTo::RecordTo(const fs::path& file)
{
    ::setenv("VENTIRO_RECORD_FILE", file.c_str(), 1);
}

RecordTo::~RecordTo()
{
    ::unsetenv("VENTIRO_RECORD_FILE");
}

PathSetTo::PathSetTo(const std::string& value)
{
    const char* old = std::getenv("PATH");
    if (old != nullptr)
        m_old = old;
    ::setenv("PATH", value.c_str(), 1);
}

PathSetTo::~PathSetTo()
{
    if (m_old)
        ::setenv("PATH", m_old->c_str(), 1);
    else
        ::unsetenv("PATH");
}

bool noChildLeft()
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        siginfo_t info{};
        errno = 0;
        if (::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == -1 && errno == ECHILD)
            return true;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2)); // poll until the children are gone
    }
}

} // namespace launchtest
