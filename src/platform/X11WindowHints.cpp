#include "X11WindowHints.h"

#include <QGuiApplication>
#include <QWidget>
#include <array>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace pimlo::X11WindowHints {
namespace {

constexpr uint32_t allDesktops = 0xFFFFFFFF;
constexpr uint32_t netWmStateRemove = 0;
constexpr uint32_t netWmStateAdd = 1;

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    const auto cookie = xcb_intern_atom(c, 0, uint16_t(strlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, cookie, nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t result = reply->atom;
    free(reply);
    return result;
}

xcb_window_t rootOf(xcb_connection_t *c, xcb_window_t window)
{
    xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
    if (!tree)
        return XCB_WINDOW_NONE;
    const xcb_window_t root = tree->root;
    free(tree);
    return root;
}

void sendToRoot(xcb_connection_t *c, xcb_window_t root, xcb_window_t window, xcb_atom_t type,
                std::array<uint32_t, 5> data)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    for (size_t i = 0; i < data.size(); ++i)
        event.data.data32[i] = data[i];
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char *>(&event));
}

} // namespace

void applyPetHints(QWidget &window)
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *c = x11 ? x11->connection() : nullptr;
    // The offscreen platform answers as X11 but has no connection.
    if (!c || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    const auto id = xcb_window_t(window.winId());

    const xcb_atom_t desktop = atom(c, "_NET_WM_DESKTOP");
    const xcb_atom_t state = atom(c, "_NET_WM_STATE");
    const std::array<xcb_atom_t, 4> states = {
        atom(c, "_NET_WM_STATE_ABOVE"), atom(c, "_NET_WM_STATE_STICKY"),
        atom(c, "_NET_WM_STATE_SKIP_TASKBAR"), atom(c, "_NET_WM_STATE_SKIP_PAGER")};

    if (window.isVisible()) {
        // Mapped: the window manager owns these properties now, ask it to change them.
        const xcb_window_t root = rootOf(c, id);
        if (root != XCB_WINDOW_NONE) {
            sendToRoot(c, root, id, desktop, {allDesktops, 1, 0, 0, 0});
            sendToRoot(c, root, id, state, {netWmStateAdd, states[0], states[1], 1, 0});
            sendToRoot(c, root, id, state, {netWmStateAdd, states[2], states[3], 1, 0});
            // Shown without activation (user time 0), a window is one that asked for focus and
            // was refused as far as KWin is concerned, and it marks it as demanding attention,
            // which a panel shows as a request; the pet never asks for anything.
            sendToRoot(c, root, id, state,
                       {netWmStateRemove, atom(c, "_NET_WM_STATE_DEMANDS_ATTENTION"), 0, 1, 0});
        }
    } else {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, desktop, XCB_ATOM_CARDINAL, 32, 1,
                            &allDesktops);
        xcb_change_property(c, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32,
                            uint32_t(states.size()), states.data());
    }
    xcb_flush(c);
}

} // namespace pimlo::X11WindowHints
