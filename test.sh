#!/usr/bin/env bash
# Installs what is missing, builds Pimlo and runs every test: unit tests, integration tests
# against real local servers, and the desktop end-to-end tests under Xvfb.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps
cmake --preset default >/dev/null
cmake --build --preset default -j"$(nproc)"
ctest --preset default -j"$(nproc)" "$@"
