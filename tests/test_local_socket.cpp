// The local socket through which a second start finds the running panel (a named pipe on Windows),
// both ends in this process: the asking end on a thread, as a second start asks, the listening end
// served here the way the panel's event loop serves it.
#include "platform/local_socket.h"
#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Takes connections until one brings a whole line, answers it with `answer` and returns the line;
// connections that end without one (a probe) are closed. Empty after five seconds without one.
std::string serveOneRequest(int server, char answer)
{
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline) {
        const int connection = platform::AcceptLocalConnection(server);
        if (connection < 0) {
            std::this_thread::yield();
            continue;
        }
        std::string text;
        while (Clock::now() < deadline && platform::ReadLocalConnection(connection, text) &&
               text.find('\n') == std::string::npos)
            std::this_thread::yield();
        if (text.find('\n') != std::string::npos) {
            platform::AnswerLocalConnection(connection, answer);
            platform::CloseLocalSocket(connection);
            return text;
        }
        platform::CloseLocalSocket(connection);
    }
    return {};
}

TEST(LocalSocket, ARunningListenerKeepsItsNameAndAnswersWhatIsAsked)
{
    const TempDir dir("ventiro-socket");
    // The name of its own: a pipe is named after the file name alone.
    const std::string path = dir.file(dir.path().filename().string());
    const int server = platform::ListenLocalSocket(path);
    ASSERT_GE(server, 0);
    EXPECT_EQ(platform::ListenLocalSocket(path), -1) << "a second listener at the same name";
    EXPECT_TRUE(platform::LocalSocketAnswers(path));

    for (const char answer : {'1', '7'}) {
        std::future<int> asked = std::async(
            std::launch::async, [&] { return platform::AskLocalSocket(path, "front 42\n", 5000); });
        EXPECT_EQ(serveOneRequest(server, answer), "front 42\n");
        EXPECT_EQ(asked.get(), answer);
    }

    platform::CloseLocalSocket(server);
    platform::RemoveLocalSocket(path);
    EXPECT_FALSE(platform::LocalSocketAnswers(path));
    EXPECT_EQ(platform::AskLocalSocket(path, "front\n", 100), -1);
    const int again = platform::ListenLocalSocket(path);
    EXPECT_GE(again, 0) << "the name is free once its listener has gone";
    platform::CloseLocalSocket(again);
    platform::RemoveLocalSocket(path);
}

} // namespace
