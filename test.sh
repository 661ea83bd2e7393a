#!/usr/bin/env bash
# Installs what is missing, builds Pimlo and runs every test: unit tests, integration tests
# against real local servers and a private keyring, the decode fuzzer for a bounded time, the
# desktop end-to-end tests under Xvfb, and the chat model's tests under AddressSanitizer.
# Extra arguments go to the main ctest run (for example -L unit or -R IdlePetView).
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps
jobs=$(nproc)

cmake --preset default >/dev/null
cmake --build --preset default -j"$jobs"
ctest --preset default -j"$jobs" "$@"

# The reply job outliving its model is checked under AddressSanitizer; only that test is built.
if [ $# -eq 0 ]; then
  cmake --preset asan >/dev/null
  cmake --build --preset asan -j"$jobs" --target ChatModelTest
  ctest --preset asan -R '^ChatModelTest$'
fi
