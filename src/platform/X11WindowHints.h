#pragma once

class QWidget;

namespace pimlo {

// Window-manager hints Qt has no API for. On X11 they mark a window as present on every
// workspace, kept above normal windows and left out of taskbars and pagers; elsewhere they do
// nothing.
namespace X11WindowHints {

// Call once the window has a native handle (before it is mapped) and again after it is shown:
// window managers read properties at map time and take client messages afterwards.
void applyPetHints(QWidget &window);

} // namespace X11WindowHints
} // namespace pimlo
