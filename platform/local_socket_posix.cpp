#include "platform/local_socket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

bool addressOf(const std::string& path, sockaddr_un& address)
{
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

int connectTo(const std::string& path)
{
    sockaddr_un address;
    if (!addressOf(path, address))
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int result = 0;
    do {
        result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

long long nowMs()
{
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

} // namespace

int ListenLocalSocket(const std::string& path)
{
    sockaddr_un address;
    if (!addressOf(path, address))
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    // Made for the user alone from the start: nobody else ever connects, not even for a moment.
    const mode_t saved = ::umask(077);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::umask(saved);
    if (!bound || ::listen(fd, 8) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool LocalSocketAnswers(const std::string& path)
{
    const int fd = connectTo(path);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

void RemoveLocalSocket(const std::string& path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode))
        ::unlink(path.c_str());
}

int AskLocalSocket(const std::string& path, const std::string& request, int timeoutMs)
{
    const int fd = connectTo(path);
    if (fd < 0)
        return -1;
    const long long end = nowMs() + timeoutMs;
    for (std::size_t done = 0; done < request.size();) {
        const ssize_t n = ::send(fd, request.data() + done, request.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            return -1;
        }
        done += static_cast<std::size_t>(n);
    }
    int answer = -1;
    for (;;) {
        const long long left = end - nowMs();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) {
            if (errno == EINTR && left > 0)
                continue;
            break;
        }
        unsigned char byte = 0;
        const ssize_t n = ::read(fd, &byte, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 1)
            answer = byte;
        break;
    }
    ::close(fd);
    return answer;
}

int AcceptLocalConnection(int server)
{
    int fd = -1;
    do {
        fd = ::accept4(server, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

bool ReadLocalConnection(int connection, std::string& text)
{
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(connection, buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

void AnswerLocalConnection(int connection, char answer)
{
    ssize_t n = 0;
    do {
        n = ::send(connection, &answer, 1, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
}

void CloseLocalSocket(int descriptor)
{
    if (descriptor >= 0)
        ::close(descriptor);
}

void* LocalSocketEvent(int)
{
    return nullptr;
}

} // namespace platform
