// A stand-in Windows program for the launch tests: it writes its command line as the system hands
// it over and its working folder to the file named by VENTIRO_RECORD_FILE, as NUL-separated fields.
// The file appears whole (written beside it, then renamed).
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <string>

int main()
{
    char target[MAX_PATH] = {};
    const DWORD got = GetEnvironmentVariableA("VENTIRO_RECORD_FILE", target, MAX_PATH);
    if (got == 0 || got >= MAX_PATH)
        return 2;
    char cwd[MAX_PATH] = {};
    if (GetCurrentDirectoryA(MAX_PATH, cwd) == 0)
        return 3;
    std::string record = cwd;
    record += '\0';
    record += GetCommandLineA();
    record += '\0';
    const std::string temp = std::string(target) + ".part";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (f == nullptr)
        return 4;
    std::fwrite(record.data(), 1, record.size(), f);
    std::fclose(f);
    return MoveFileA(temp.c_str(), target) ? 0 : 5;
}
