#include "platform/startup_notification.h"

#include <xcb/xcb.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

namespace platform {

namespace {

xcb_atom_t internAtom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// A value of a message, quoted: the protocol escapes '"' and '\' with a backslash.
std::string quoted(const std::string& value)
{
    std::string text = "\"";
    for (const char c : value) {
        if (c == '"' || c == '\\')
            text += '\\';
        text += c;
    }
    return text + '"';
}

// The value of `key` in a message (`remove: ID="..."`), unquoted; empty when it is missing.
std::string valueOf(const std::string& message, const std::string& key)
{
    std::size_t at = message.find(':');
    while (at != std::string::npos && at < message.size()) {
        at = message.find_first_not_of(' ', at + 1);
        if (at == std::string::npos)
            break;
        const std::size_t equals = message.find('=', at);
        if (equals == std::string::npos)
            break;
        const std::string name = message.substr(at, equals - at);
        std::string value;
        std::size_t i = equals + 1;
        bool inQuotes = false;
        for (; i < message.size() && (inQuotes || message[i] != ' '); ++i) {
            if (message[i] == '"')
                inQuotes = !inQuotes;
            else if (message[i] == '\\' && i + 1 < message.size())
                value += message[++i];
            else
                value += message[i];
        }
        if (name == key)
            return value;
        at = i;
    }
    return std::string();
}

} // namespace

// A connection of its own to the X server, so that the toolkit's is never asked for events it does
// not expect, with a window that the messages come from.
struct StartupFeedback::Connection
{
    xcb_connection_t* c = nullptr;
    xcb_window_t root = XCB_NONE;
    xcb_window_t messenger = XCB_NONE;
    int screen = 0;
    xcb_atom_t begin = XCB_ATOM_NONE;
    xcb_atom_t more = XCB_ATOM_NONE;
    xcb_atom_t wmPid = XCB_ATOM_NONE;
    std::map<xcb_window_t, std::string> partial; // messages of other clients, until their end

    // Opens the display named by DISPLAY; false when there is none. `events` selects the root window's
    // news.
    bool open(bool events)
    {
        const char* display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0')
            return false;
        c = xcb_connect(nullptr, &screen);
        if (xcb_connection_has_error(c) != 0) {
            xcb_disconnect(c);
            c = nullptr;
            return false;
        }
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
        for (int i = 0; i < screen && it.rem > 1; ++i)
            xcb_screen_next(&it);
        root = it.data->root;
        messenger = xcb_generate_id(c);
        const std::uint32_t overrideRedirect = 1;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, messenger, root, -100, -100, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT,
                          &overrideRedirect);
        begin = internAtom(c, "_NET_STARTUP_INFO_BEGIN");
        more = internAtom(c, "_NET_STARTUP_INFO");
        wmPid = internAtom(c, "_NET_WM_PID");
        if (events) {
            const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
            xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
        }
        xcb_flush(c);
        return true;
    }

    ~Connection()
    {
        if (c == nullptr)
            return;
        // What was sent reaches the server before the connection goes.
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        xcb_disconnect(c);
    }

    // One message: the first 20 bytes in a _NET_STARTUP_INFO_BEGIN event, the rest in _NET_STARTUP_INFO
    // events, ended by a NUL byte, all sent to the root window.
    void send(const std::string& message)
    {
        std::string bytes = message;
        bytes.push_back('\0');
        for (std::size_t at = 0; at < bytes.size(); at += 20) {
            xcb_client_message_event_t event{};
            event.response_type = XCB_CLIENT_MESSAGE;
            event.format = 8;
            event.window = messenger;
            event.type = at == 0 ? begin : more;
            std::memcpy(event.data.data8, bytes.data() + at, std::min<std::size_t>(20, bytes.size() - at));
            xcb_send_event(c, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE, reinterpret_cast<const char*>(&event));
        }
        xcb_flush(c);
    }

    // A window of this very process (its _NET_WM_PID), which is no started program's.
    bool ownWindow(xcb_window_t window)
    {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, wmPid, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        bool own = false;
        if (reply != nullptr && xcb_get_property_value_length(reply) >= 4) {
            std::uint32_t pid = 0;
            std::memcpy(&pid, xcb_get_property_value(reply), sizeof pid);
            own = pid == static_cast<std::uint32_t>(::getpid());
        }
        std::free(reply);
        return own;
    }
};

StartupFeedback::StartupFeedback() = default;
StartupFeedback::~StartupFeedback()
{
    while (!m_pending.empty())
        End(m_pending.front());
}

std::string StartupFeedback::Begin(const std::string& name, const std::string& binary,
                                   std::uint32_t timestamp)
{
    if (!m_connection) {
        auto connection = std::make_unique<Connection>();
        if (!connection->open(true))
            return std::string();
        m_connection = std::move(connection);
    }
    static unsigned sequence = 0;
    char host[256] = "localhost";
    ::gethostname(host, sizeof host - 1);
    const std::string id = "ventiro-" + std::to_string(::getpid()) + "-" + std::to_string(++sequence) + "-" +
                           host + "_TIME" + std::to_string(timestamp);
    std::string base = binary.substr(binary.find_last_of("/\\") + 1);
    m_connection->send("new: ID=" + quoted(id) + " NAME=" + quoted(name) + " BIN=" + quoted(base) +
                       " DESCRIPTION=" + quoted(name) +
                       " SCREEN=" + quoted(std::to_string(m_connection->screen)));
    m_pending.push_back(id);
    return id;
}

void StartupFeedback::End(const std::string& id)
{
    const auto found = std::find(m_pending.begin(), m_pending.end(), id);
    if (id.empty() || found == m_pending.end())
        return;
    // `id` may be the element itself (the destructor ends the pending ones so): keep a copy.
    const std::string ended = *found;
    m_pending.erase(found);
    if (m_connection)
        m_connection->send("remove: ID=" + quoted(ended));
    if (m_pending.empty())
        m_connection.reset();
}

int StartupFeedback::EventDescriptor() const
{
    return m_connection ? xcb_get_file_descriptor(m_connection->c) : -1;
}

std::vector<std::string> StartupFeedback::ReadEvents()
{
    std::vector<std::string> ended;
    if (!m_connection)
        return ended;
    Connection& k = *m_connection;
    while (xcb_generic_event_t* event = xcb_poll_for_event(k.c)) {
        const std::uint8_t type = event->response_type & 0x7F;
        if (type == XCB_CLIENT_MESSAGE) {
            const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event);
            if (message->format == 8 && message->window != k.messenger &&
                (message->type == k.begin || message->type == k.more)) {
                std::string& text = k.partial[message->window];
                if (message->type == k.begin)
                    text.clear();
                const char* data = reinterpret_cast<const char*>(message->data.data8);
                const std::size_t length = strnlen(data, 20);
                text.append(data, length);
                if (length < 20 || text.size() > 4096) {
                    // The program ended its sequence itself: its window is up.
                    const std::string id =
                        text.rfind("remove:", 0) == 0 ? valueOf(text, "ID") : std::string();
                    k.partial.erase(message->window);
                    const auto found = std::find(m_pending.begin(), m_pending.end(), id);
                    if (!id.empty() && found != m_pending.end()) {
                        m_pending.erase(found);
                        ended.push_back(id);
                    }
                }
            }
        } else if (type == XCB_MAP_NOTIFY) {
            const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
            // A new top-level window that is not a menu or tooltip and not the panel's own: the
            // oldest program waited for has shown its window.
            if (map->event == k.root && !map->override_redirect && !m_pending.empty() &&
                !k.ownWindow(map->window)) {
                ended.push_back(m_pending.front());
                k.send("remove: ID=" + quoted(m_pending.front()));
                m_pending.erase(m_pending.begin());
            }
        }
        std::free(event);
    }
    if (xcb_connection_has_error(k.c) != 0) {
        ended.insert(ended.end(), m_pending.begin(), m_pending.end());
        m_pending.clear();
    }
    if (m_pending.empty())
        m_connection.reset();
    return ended;
}

void ActivateX11Window(std::uint32_t window, std::uint32_t timestamp)
{
    StartupFeedback::Connection k;
    if (!k.open(false))
        return;
    // Through the window manager where it says it supports the request; otherwise the window is
    // raised and given the keyboard directly.
    const xcb_atom_t supported = internAtom(k.c, "_NET_SUPPORTED");
    const xcb_atom_t activeWindow = internAtom(k.c, "_NET_ACTIVE_WINDOW");
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        k.c, xcb_get_property(k.c, 0, k.root, supported, XCB_ATOM_ATOM, 0, 4096), nullptr);
    bool managed = false;
    if (reply != nullptr) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        const int count = xcb_get_property_value_length(reply) / static_cast<int>(sizeof(xcb_atom_t));
        managed = std::find(atoms, atoms + count, activeWindow) != atoms + count;
    }
    std::free(reply);
    if (managed) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = activeWindow;
        event.data.data32[0] = 1; // an application's request
        event.data.data32[1] = timestamp != 0 ? timestamp : XCB_CURRENT_TIME;
        xcb_send_event(k.c, 0, k.root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    } else {
        const std::uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(k.c, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        xcb_set_input_focus(k.c, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    }
}

void EndOwnStartupSequence(const std::string& id)
{
    StartupFeedback::Connection k;
    if (id.empty() || !k.open(false))
        return;
    k.send("remove: ID=" + quoted(id));
}

} // namespace platform
