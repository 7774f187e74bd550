#pragma once

#include <filesystem>
#include <string>

// A fresh folder under the system's temporary folder (or under `base`), removed with everything in
// it (read-only entries included) when the object goes.
class TempDir
{
public:
    explicit TempDir(const std::string& prefix = "ventiro-test", const std::filesystem::path& base = {});
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string str() const { return m_path.string(); }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

std::string readBytes(const std::filesystem::path& path); // empty when it cannot be read
void writeBytes(const std::string& path, const std::string& bytes);
std::string dataFile(const std::string& name); // contents of tests/data/<name>
