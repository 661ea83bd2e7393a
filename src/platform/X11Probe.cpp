#include "X11Probe.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <xcb/xcb.h>

namespace pimlo::X11Probe {

Result probe()
{
    Result result;
    int screen = 0;
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(
        xcb_connect(nullptr, &screen), xcb_disconnect);
    if (xcb_connection_has_error(connection.get()))
        return result;
    result.reachable = true;
    result.screen = screen;

    const std::string name = "_NET_WM_CM_S" + std::to_string(screen);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(
            connection.get(),
            xcb_intern_atom(connection.get(), 0, uint16_t(name.size()), name.c_str()), nullptr),
        std::free);
    if (!atom)
        return result;
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(
            connection.get(), xcb_get_selection_owner(connection.get(), atom->atom), nullptr),
        std::free);
    result.compositing = owner && owner->owner != XCB_WINDOW_NONE;
    return result;
}

} // namespace pimlo::X11Probe
