#include "platform/startup_notification.h"

// Windows shows its own busy pointer while a started program comes up, and brings a window to the
// front through the toolkit: nothing to send here.
namespace platform {

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

void ActivateX11Window(std::uint32_t, std::uint32_t) {}

void EndOwnStartupSequence(const std::string&) {}

} // namespace platform
