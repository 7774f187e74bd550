#pragma once

#include <string>

// Local stream sockets named by a path, for the panel that listens for later starts of itself: AF_UNIX
// sockets on POSIX, named pipes on Windows (named after the path's file name and the session; the
// descriptors stand for pipe handles there). Descriptors are -1 where a call fails.
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

// What the event loop watches for a listening socket or a connection: POSIX nullptr, the descriptor
// itself becomes readable; Windows the event (a HANDLE) that is signalled while a connection or data
// waits to be taken.
void* LocalSocketEvent(int descriptor);

} // namespace platform
