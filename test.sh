#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds Pimlo and runs every test: unit tests,
# integration tests against real local servers and a private keyring, the decode fuzzer for a
# bounded time, the desktop end-to-end tests under Xvfb, and the unit and integration tests again
# under AddressSanitizer and UndefinedBehaviorSanitizer.
# Extra arguments go to the main ctest run (for example -L unit or -R IdlePetView).
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps --tests
jobs=$(nproc)

# Formatting first: it takes a second and needs no build.
./scripts/check-format

cmake --preset default >/dev/null
cmake --build --preset default -j"$jobs"
ctest --preset default -j"$jobs" "$@"

# The unit and integration tests again with AddressSanitizer and UndefinedBehaviorSanitizer; only
# their targets are built (a test named Target.mode runs Target). Undefined behaviour fails the
# test instead of only printing a line; LeakSanitizer runs too, with one suppression for libsecret.
if [ $# -eq 0 ]; then
  cmake --preset asan >/dev/null
  sanitized='unit|integration'
  mapfile -t targets < <(ctest --preset asan -N -L "$sanitized" |
    sed -n 's/^ *Test *#[0-9]*: \([^.]*\).*/\1/p' | sort -u)
  cmake --build --preset asan -j"$jobs" --target "${targets[@]}"
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    LSAN_OPTIONS=suppressions="$PWD/tests/support/lsan.supp" \
    ctest --preset asan -j"$jobs" -L "$sanitized"
fi
