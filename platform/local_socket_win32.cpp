#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include "platform/local_socket.h"

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>

// The local socket as a named pipe: the socket's file name (ventiro-<hash>) and the session become
// the pipe's name, overlapped I/O keeps every call from blocking, and each descriptor is a number
// that stands for a pipe handle and the event its I/O signals. The pipe's default security lets
// only its creator (and the system and administrators) write to it, so no other user can send a
// request; remote clients are refused.
namespace platform {
namespace {

constexpr DWORD kBufferSize = 4096;

struct Endpoint
{
    HANDLE pipe = INVALID_HANDLE_VALUE;
    HANDLE event = nullptr; // signalled while a connection (server) or data (connection) waits
    OVERLAPPED overlapped{};
    bool server = false;
    std::string name;       // a server's pipe name, for its next instance
    bool pending = false;   // an overlapped connect or read is under way
    bool connected = false; // a server's instance has a client
    bool broken = false;    // a connection's other side is gone
    char buffer[kBufferSize] = {};
};

std::mutex g_mutex;
std::map<int, std::unique_ptr<Endpoint>> g_endpoints;
int g_next = 1;

Endpoint* find(int descriptor)
{
    const auto it = g_endpoints.find(descriptor);
    return it == g_endpoints.end() ? nullptr : it->second.get();
}

int add(std::unique_ptr<Endpoint> endpoint)
{
    const int descriptor = g_next++;
    g_endpoints[descriptor] = std::move(endpoint);
    return descriptor;
}

std::string pipeName(const std::string& path)
{
    const std::size_t slash = path.find_last_of("\\/");
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return "\\\\.\\pipe\\" + (slash == std::string::npos ? path : path.substr(slash + 1)) + "-" +
           std::to_string(session);
}

HANDLE createInstance(const std::string& name, bool first)
{
    return CreateNamedPipeA(
        name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
        PIPE_UNLIMITED_INSTANCES, kBufferSize, kBufferSize, 0, nullptr);
}

// Waits for the next client of a server's instance; one that came in between is there already.
void startConnect(Endpoint& server)
{
    ResetEvent(server.event);
    server.overlapped = {};
    server.overlapped.hEvent = server.event;
    server.pending = false;
    server.connected = false;
    if (!ConnectNamedPipe(server.pipe, &server.overlapped)) {
        const DWORD error = GetLastError();
        if (error == ERROR_IO_PENDING) {
            server.pending = true;
            return;
        }
        if (error != ERROR_PIPE_CONNECTED)
            return;
    }
    server.connected = true;
    SetEvent(server.event);
}

// Reads what arrives next on a connection; the event is signalled when it has.
void startRead(Endpoint& connection)
{
    connection.overlapped = {};
    connection.overlapped.hEvent = connection.event;
    if (ReadFile(connection.pipe, connection.buffer, kBufferSize, nullptr, &connection.overlapped) ||
        GetLastError() == ERROR_IO_PENDING) {
        connection.pending = true;
        return;
    }
    connection.pending = false;
    connection.broken = true;
    SetEvent(connection.event);
}

// One overlapped transfer that ends by `deadline` (GetTickCount64), or is cancelled.
bool transfer(HANDLE pipe, bool write, void* data, DWORD size, ULONGLONG deadline)
{
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (overlapped.hEvent == nullptr)
        return false;
    const BOOL started = write ? WriteFile(pipe, data, size, nullptr, &overlapped)
                               : ReadFile(pipe, data, size, nullptr, &overlapped);
    DWORD done = 0;
    bool ok = false;
    if (started || GetLastError() == ERROR_IO_PENDING) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
        if (WaitForSingleObject(overlapped.hEvent, left) != WAIT_OBJECT_0)
            CancelIo(pipe);
        ok = GetOverlappedResult(pipe, &overlapped, &done, TRUE) && done == size;
    }
    CloseHandle(overlapped.hEvent);
    return ok;
}

// Whether a pipe of that name exists, without connecting to it: an instance free or busy.
bool pipeExists(const std::string& name)
{
    return WaitNamedPipeA(name.c_str(), 1) || GetLastError() == ERROR_SEM_TIMEOUT;
}

HANDLE openClient(const std::string& name)
{
    return CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED, nullptr);
}

} // namespace

int ListenLocalSocket(const std::string& path)
{
    auto server = std::make_unique<Endpoint>();
    server->server = true;
    server->name = pipeName(path);
    // Only the first instance of a name can be made this way: a running panel keeps its name. (Wine
    // does not refuse a first instance of a name that exists, hence the look before.)
    if (pipeExists(server->name))
        return -1;
    server->pipe = createInstance(server->name, true);
    if (server->pipe == INVALID_HANDLE_VALUE)
        return -1;
    server->event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (server->event == nullptr) {
        CloseHandle(server->pipe);
        return -1;
    }
    startConnect(*server);
    const std::lock_guard<std::mutex> lock(g_mutex);
    return add(std::move(server));
}

bool LocalSocketAnswers(const std::string& path)
{
    const HANDLE pipe = openClient(pipeName(path));
    if (pipe != INVALID_HANDLE_VALUE) {
        CloseHandle(pipe);
        return true;
    }
    return GetLastError() == ERROR_PIPE_BUSY;
}

void RemoveLocalSocket(const std::string&)
{
    // A pipe goes with the last handle to it: a panel that ended leaves nothing behind.
}

int AskLocalSocket(const std::string& path, const std::string& request, int timeoutMs)
{
    const std::string name = pipeName(path);
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs > 0 ? timeoutMs : 0);
    HANDLE pipe = INVALID_HANDLE_VALUE;
    for (;;) {
        pipe = openClient(name);
        if (pipe != INVALID_HANDLE_VALUE)
            break;
        const ULONGLONG now = GetTickCount64();
        // Every instance busy: the panel is between two starts that asked at once.
        if (GetLastError() != ERROR_PIPE_BUSY || now >= deadline)
            return -1;
        WaitNamedPipeA(name.c_str(), static_cast<DWORD>(deadline - now));
    }
    // What is asked of the panel is to come to the front: this start, the operator's latest act, lets
    // it take the foreground, which Windows refuses a program in the background otherwise.
    AllowSetForegroundWindow(ASFW_ANY);
    std::string text = request;
    unsigned char answer = 0;
    const bool answered = transfer(pipe, true, text.data(), static_cast<DWORD>(text.size()), deadline) &&
                          transfer(pipe, false, &answer, 1, deadline);
    CloseHandle(pipe);
    return answered ? answer : -1;
}

int AcceptLocalConnection(int descriptor)
{
    const std::lock_guard<std::mutex> lock(g_mutex);
    Endpoint* server = find(descriptor);
    if (server == nullptr || !server->server)
        return -1;
    if (server->pending) {
        DWORD unused = 0;
        if (!GetOverlappedResult(server->pipe, &server->overlapped, &unused, FALSE)) {
            if (GetLastError() != ERROR_IO_INCOMPLETE) {
                // The client went before it was taken: wait for the next one.
                DisconnectNamedPipe(server->pipe);
                startConnect(*server);
            }
            return -1;
        }
        server->pending = false;
        server->connected = true;
    }
    if (!server->connected)
        return -1;
    // The connected instance becomes the connection; a new instance waits for the next start.
    const HANDLE next = createInstance(server->name, false);
    const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (next == INVALID_HANDLE_VALUE || event == nullptr) {
        if (next != INVALID_HANDLE_VALUE)
            CloseHandle(next);
        if (event != nullptr)
            CloseHandle(event);
        DisconnectNamedPipe(server->pipe);
        startConnect(*server);
        return -1;
    }
    auto connection = std::make_unique<Endpoint>();
    connection->pipe = server->pipe;
    connection->event = event;
    startRead(*connection);
    server->pipe = next;
    startConnect(*server);
    return add(std::move(connection));
}

bool ReadLocalConnection(int descriptor, std::string& text)
{
    const std::lock_guard<std::mutex> lock(g_mutex);
    Endpoint* connection = find(descriptor);
    if (connection == nullptr || connection->server)
        return false;
    while (!connection->broken) {
        DWORD got = 0;
        if (!GetOverlappedResult(connection->pipe, &connection->overlapped, &got, FALSE)) {
            if (GetLastError() == ERROR_IO_INCOMPLETE)
                return true;
            connection->pending = false;
            connection->broken = true; // ERROR_BROKEN_PIPE: the other side closed it
            break;
        }
        text.append(connection->buffer, got);
        startRead(*connection);
    }
    return false;
}

void AnswerLocalConnection(int descriptor, char answer)
{
    HANDLE pipe = INVALID_HANDLE_VALUE;
    {
        const std::lock_guard<std::mutex> lock(g_mutex);
        if (Endpoint* connection = find(descriptor))
            pipe = connection->pipe;
    }
    if (pipe != INVALID_HANDLE_VALUE)
        transfer(pipe, true, &answer, 1, GetTickCount64() + 2000);
}

void CloseLocalSocket(int descriptor)
{
    std::unique_ptr<Endpoint> endpoint;
    {
        const std::lock_guard<std::mutex> lock(g_mutex);
        const auto it = g_endpoints.find(descriptor);
        if (it == g_endpoints.end())
            return;
        endpoint = std::move(it->second);
        g_endpoints.erase(it);
    }
    if (endpoint->pending) {
        // The overlapped structure must outlive the cancelled I/O.
        CancelIo(endpoint->pipe);
        DWORD unused = 0;
        GetOverlappedResult(endpoint->pipe, &endpoint->overlapped, &unused, TRUE);
    }
    CloseHandle(endpoint->pipe);
    CloseHandle(endpoint->event);
}

void* LocalSocketEvent(int descriptor)
{
    const std::lock_guard<std::mutex> lock(g_mutex);
    const Endpoint* endpoint = find(descriptor);
    return endpoint != nullptr ? endpoint->event : nullptr;
}

} // namespace platform
