#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include "platform/config_location.h"

#include <windows.h>

#include <shlobj.h>

#include <string>
#include <vector>

namespace platform {

namespace {

bool isFile(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// A file opens for writing when neither its read-only attribute nor its access rights forbid it;
// opening it changes nothing.
bool writableFile(const std::string& path)
{
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

// Whether files can be made in a folder, which Windows only tells by trying: its access rights, a
// read-only medium and the user's elevation all count. The trial file is gone when its handle closes.
bool writableFolder(const std::string& folder)
{
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        const std::string trial = folder + "ventiro-" + std::to_string(GetCurrentProcessId()) + "-" +
                                  std::to_string(GetTickCount() + attempt) + ".tmp";
        const HANDLE file = CreateFileA(
            trial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            return false;
    }
    return false;
}

// The ANSI spelling of a wide name; false when the code page cannot spell every character.
bool toAnsi(const std::wstring& wide, std::string& ansi)
{
    BOOL lossy = FALSE;
    const int size =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr, 0, nullptr, &lossy);
    if (size <= 0 || lossy)
        return false;
    std::vector<char> buffer(static_cast<std::size_t>(size));
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, buffer.data(), size, nullptr, &lossy);
    ansi = buffer.data();
    return !lossy;
}

// The user's roaming application data folder (%APPDATA%, else the shell's answer) as the ANSI calls
// can reach it: its own spelling, or its short name; empty when it has neither.
std::string userDataFolder()
{
    std::wstring folder;
    const DWORD size = GetEnvironmentVariableW(L"APPDATA", nullptr, 0);
    if (size > 1) {
        std::vector<wchar_t> buffer(size);
        if (GetEnvironmentVariableW(L"APPDATA", buffer.data(), size) == size - 1)
            folder = buffer.data();
    }
    if (folder.empty()) {
        wchar_t buffer[MAX_PATH] = {};
        if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                       SHGFP_TYPE_CURRENT, buffer)))
            folder = buffer;
    }
    if (folder.empty())
        return {};
    std::string ansi;
    if (toAnsi(folder, ansi))
        return ansi;
    const DWORD shortSize = GetShortPathNameW(folder.c_str(), nullptr, 0);
    std::vector<wchar_t> shortName(shortSize + 1);
    if (shortSize > 0 && GetShortPathNameW(folder.c_str(), shortName.data(), shortSize + 1) > 0 &&
        toAnsi(shortName.data(), ansi))
        return ansi;
    return {};
}

std::string withBackslash(std::string folder)
{
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/')
        folder += '\\';
    return folder;
}

} // namespace

std::string ConfigFileLocation(const std::string& programFolder, const std::string& name)
{
    const std::string beside = programFolder.empty() ? std::string() : withBackslash(programFolder) + name;
    if (!beside.empty()) {
        if (isFile(beside) && writableFile(beside))
            return beside;
        if (writableFolder(withBackslash(programFolder)))
            return beside;
    }

    const std::string data = userDataFolder();
    if (data.empty())
        return beside;
    const std::string userFolder = withBackslash(data) + "Ventiro";
    const std::string userFile = userFolder + "\\" + name;
    CreateDirectoryA(userFolder.c_str(), nullptr); // fails harmlessly when it is there
    // The administrator's file beside the executable is where a user starts from; a user's own file is
    // never replaced (the copy fails when it exists). The copy takes the read-only attribute along.
    if (!beside.empty() && isFile(beside) && !isFile(userFile) &&
        CopyFileA(beside.c_str(), userFile.c_str(), TRUE)) {
        const DWORD attributes = GetFileAttributesA(userFile.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
            SetFileAttributesA(userFile.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    return userFile;
}

std::string CommandLineIniFile(const std::string& argument, bool create)
{
    if (argument.empty())
        return {};
    std::vector<char> path(MAX_PATH);
    DWORD length = GetFullPathNameA(argument.c_str(), static_cast<DWORD>(path.size()), path.data(), nullptr);
    if (length >= path.size()) {
        path.resize(length + 1);
        length = GetFullPathNameA(argument.c_str(), static_cast<DWORD>(path.size()), path.data(), nullptr);
    }
    if (length == 0 || length >= path.size())
        return {};
    // A folder cannot be opened this way, so what opens is a file.
    HANDLE file =
        CreateFileA(path.data(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    CloseHandle(file);
    return std::string(path.data(), length);
}

} // namespace platform
