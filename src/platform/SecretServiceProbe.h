#pragma once

namespace pimlo::SecretServiceProbe {

// Whether a Secret Service (org.freedesktop.secrets) runs on the session bus or the bus can
// start one on demand. Each bus call waits at most timeoutMs, so a stuck bus cannot hold up
// the launch.
bool available(int timeoutMs = 1000);

} // namespace pimlo::SecretServiceProbe
