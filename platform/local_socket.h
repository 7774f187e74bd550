#pragma once

#include <string>

// Local stream sockets (AF_UNIX) named by a path, for the panel that listens for later starts of
// itself. Descriptors are -1 where a call fails. Windows has no backend yet: every call fails there,
// so each start opens a panel of its own.
namespace platform {

// Listens at `path`, readable and writable by the user only, without blocking; -1 when the path is
// taken (a socket that may be alive or left over) or cannot be made.
int ListenLocalSocket(const std::string& path);
// Whether a program listens at `path` and takes a connection.
bool LocalSocketAnswers(const std::string& path);
// Removes what lies at `path` when it is a socket.
void RemoveLocalSocket(const std::string& path);

// Connects to `path`, sends `request` and waits up to `timeoutMs` milliseconds for a one-byte answer:
// the answer, or -1 when nobody answered in time.
int AskLocalSocket(const std::string& path, const std::string& request, int timeoutMs);

// A connection waiting at a listening socket, without blocking; -1 when none waits.
int AcceptLocalConnection(int server);
// Appends what has arrived on a connection to `text`, without blocking; false once the other side
// has closed it or it failed.
bool ReadLocalConnection(int connection, std::string& text);
void AnswerLocalConnection(int connection, char answer);
void CloseLocalSocket(int descriptor);

} // namespace platform
