#!/usr/bin/env bash
# Installs what is missing, builds Pimlo and starts it on the current display.
set -euo pipefail
cd "$(dirname "$0")"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no graphical display found (DISPLAY and WAYLAND_DISPLAY are unset); start Pimlo from a desktop session." >&2
  exit 1
fi

./scripts/install-deps
cmake --preset default >/dev/null
# Only the pet itself: ./test.sh builds the tests and benchmarks.
cmake --build --preset default -j"$(nproc)" --target pimlo
exec ./build/src/app/pimlo "$@"
