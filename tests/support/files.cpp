#include "tests/support/files.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

TempDir::TempDir(const std::string& prefix, const fs::path& under)
{
    const fs::path base = under.empty() ? fs::temp_directory_path() : under;
    std::mt19937_64 random(
        std::random_device{}() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[17];
        std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
        const fs::path candidate = base / (prefix + "-" + suffix);
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace);
            m_path = fs::canonical(candidate);
            return;
        }
        if (error)
            throw fs::filesystem_error("cannot create a temporary folder", candidate, error);
    }
    throw std::runtime_error("no free name for a temporary folder under " + base.string());
}

TempDir::~TempDir()
{
    // Tests take rights away to provoke failures; give them back so that everything can go.
    std::error_code error;
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, error);
    for (auto it = fs::recursive_directory_iterator(m_path, error); !error && it != fs::end(it);
         it.increment(error)) {
        if (!it->is_symlink(error))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
        error.clear();
    }
    fs::remove_all(m_path, error);
}

std::string readBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string dataFile(const std::string& name)
{
    return readBytes(std::string(VENTIRO_TEST_DATA) + "/" + name);
}
