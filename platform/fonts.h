#pragma once

#include <thread>

namespace platform {

// Reads the system's font configuration on a thread of its own while the program connects to the
// display and loads its plug-ins, so that the first text layout of the windows finds it ready.
// Wait() (or the destructor) returns once the configuration is read; call it before the first font
// is used, so that the toolkit never reads the configuration a second time at the same moment.
class FontPreload
{
public:
    FontPreload();
    ~FontPreload();
    FontPreload(const FontPreload&) = delete;
    FontPreload& operator=(const FontPreload&) = delete;

    void Wait();

private:
    std::thread m_thread;
};

} // namespace platform
