// A stand-in program for the launch tests: it writes its working folder, its session, what its
// standard input is, its ignored and blocked signals (the masks of /proc/self/status), its open
// descriptors and its argv to the file named by VENTIRO_RECORD_FILE, as NUL-separated fields. The file
// appears atomically (written beside it, then renamed).
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    const char* target = std::getenv("VENTIRO_RECORD_FILE");
    if (target == nullptr)
        return 2;
    std::string record;
    char cwd[4096] = {};
    if (::getcwd(cwd, sizeof cwd) == nullptr)
        return 3;
    record += cwd;
    record += '\0';
    record += std::to_string(::getsid(0));
    record += '\0';
    struct stat in
    {};
    struct stat null
    {};
    const bool isNull = ::fstat(0, &in) == 0 && ::stat("/dev/null", &null) == 0 &&
                        in.st_rdev == null.st_rdev && S_ISCHR(in.st_mode);
    record += isNull ? "null" : "other";
    record += '\0';
    std::string signals;
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status) != nullptr) {
            const std::string text = line; // e.g. "SigIgn:\t0000000000001000\n"
            if (text.rfind("SigIgn:", 0) != 0 && text.rfind("SigBlk:", 0) != 0)
                continue;
            const std::size_t first = text.find_first_not_of(" \t", 7);
            const std::size_t last = text.find_last_not_of(" \t\n");
            signals += text.substr(0, 6) + text.substr(first, last + 1 - first);
        }
        std::fclose(status);
    }
    record += signals;
    record += '\0';
    // The descriptors open at start, e.g. "0,1,2" (the one that lists them left out).
    std::string descriptors;
    if (DIR* fds = ::opendir("/proc/self/fd")) {
        while (const dirent* entry = ::readdir(fds)) {
            if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == ::dirfd(fds))
                continue;
            descriptors += (descriptors.empty() ? "" : ",") + std::string(entry->d_name);
        }
        ::closedir(fds);
    }
    record += descriptors;
    record += '\0';
    for (int i = 0; i < argc; ++i) {
        record += argv[i];
        record += '\0';
    }
    const std::string temp = std::string(target) + ".part";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (f == nullptr)
        return 4;
    std::fwrite(record.data(), 1, record.size(), f);
    std::fclose(f);
    return std::rename(temp.c_str(), target) == 0 ? 0 : 5;
}
