#include "platform/startup_notification.h"

// Windows shows its own busy pointer while a started program comes up, and brings a window to the
// front through the toolkit: nothing to send here.
namespace platform {

namespace {
std::string g_childStartupId;
} // namespace

struct StartupFeedback::Connection
{};

StartupFeedback::StartupFeedback() = default;
StartupFeedback::~StartupFeedback() = default;

std::string StartupFeedback::Begin(const std::string&, const std::string&, std::uint32_t)
{
    return std::string();
}

void StartupFeedback::End(const std::string&) {}

int StartupFeedback::EventDescriptor() const
{
    return -1;
}

std::vector<std::string> StartupFeedback::ReadEvents()
{
    return {};
}

void SetChildStartupId(const std::string& id)
{
    g_childStartupId = id;
}

const std::string& ChildStartupId()
{
    return g_childStartupId;
}

std::uint32_t StartupIdTime(const std::string&)
{
    return 0;
}

void ActivateX11Window(std::uint32_t, std::uint32_t) {}

void EndOwnStartupSequence(const std::string&) {}

} // namespace platform
