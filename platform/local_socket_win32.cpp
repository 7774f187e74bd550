#include "platform/local_socket.h"

// No backend on Windows yet (a named pipe would serve): every start opens a panel of its own.
namespace platform {

int ListenLocalSocket(const std::string&)
{
    return -1;
}

bool LocalSocketAnswers(const std::string&)
{
    return false;
}

void RemoveLocalSocket(const std::string&) {}

int AskLocalSocket(const std::string&, const std::string&, int)
{
    return -1;
}

int AcceptLocalConnection(int)
{
    return -1;
}

bool ReadLocalConnection(int, std::string&)
{
    return false;
}

void AnswerLocalConnection(int, char) {}

void CloseLocalSocket(int) {}

} // namespace platform
