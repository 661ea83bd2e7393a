#pragma once

namespace pimlo::X11Probe {

struct Result
{
    // An X server answered on the display named by DISPLAY.
    bool reachable = false;
    // The default screen of that display.
    int screen = 0;
    // Some client owns _NET_WM_CM_S<screen>, the compositing manager's selection.
    bool compositing = false;
};

// Asks the X server on a connection of its own, so it works before the application object
// exists and never aborts when there is no display.
Result probe();

} // namespace pimlo::X11Probe
