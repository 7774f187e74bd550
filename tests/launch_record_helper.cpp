// Records how it was started: the working folder on the first line, then one argument per line.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    const char* target = std::getenv("VENTIRO_RECORD");
    if (target == nullptr)
        return 2;
    const std::string temp = std::string(target) + ".part";
    FILE* f = std::fopen(temp.c_str(), "w");
    if (f == nullptr)
        return 3;
    char cwd[4096];
    std::fprintf(f, "%s\n", getcwd(cwd, sizeof cwd) ? cwd : "?");
    std::fprintf(f, "stdin-tty=%d sid-leader=%d\n", isatty(0), getsid(0) == getpid());
    for (int i = 1; i < argc; ++i)
        std::fprintf(f, "%s\n", argv[i]);
    std::fclose(f);
    return std::rename(temp.c_str(), target) == 0 ? 0 : 4;
}
