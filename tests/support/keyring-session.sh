#!/bin/sh
# Runs a test program inside a private D-Bus session, so it never touches the user's keyring.
#   keyring-session.sh live      PROGRAM ARGS...  a gnome-keyring-daemon with an unlocked "login"
#   keyring-session.sh hung      PROGRAM ARGS...  a Secret Service whose start never finishes
#   keyring-session.sh fresh     PROGRAM ARGS...  a gnome-keyring-daemon without any collection
# The program sees PIMLO_KEYRING_SESSION set to the mode.
set -eu
mode=$1 tmp=$(mktemp -d)
shift
trap 'rm -rf "$tmp"' EXIT
mkdir -p -m 700 "$tmp/data/dbus-1/services" "$tmp/config" "$tmp/cache" "$tmp/run"
export PIMLO_KEYRING_SESSION="$mode" HOME="$tmp" XDG_DATA_HOME="$tmp/data" \
    XDG_CONFIG_HOME="$tmp/config" XDG_CACHE_HOME="$tmp/cache" XDG_RUNTIME_DIR="$tmp/run"
# An unlock prompt must never appear on the developer's screen.
unset DISPLAY WAYLAND_DISPLAY

case "$mode" in
live)
    # A stand-in unlock prompt: once $HOME/prompt-answer exists, it unlocks as a typed password.
    printf '[D-BUS Service]\nName=org.gnome.keyring.SystemPrompter\nExec=/usr/bin/python3 %s\n' \
        "$tmp/prompter.py" >"$tmp/data/dbus-1/services/org.gnome.keyring.SystemPrompter.service"
    cat >"$tmp/prompter.py" <<'PY'
import os, socket, struct
if os.path.exists(os.environ["HOME"] + "/prompt-answer"):
    control = socket.socket(socket.AF_UNIX)
    control.connect(os.environ["XDG_RUNTIME_DIR"] + "/keyring/control")
    control.sendall(b"\0" + struct.pack(">III", 22, 1, 10) + b"pimlo-test")  # 1: unlock
    control.recv(8)
raise SystemExit(1)
PY
    # The daemon is on the bus when --daemonize returns, and leaves with the session.
    exec dbus-run-session -- sh -c 'printf pimlo-test |
        gnome-keyring-daemon --daemonize --unlock --components=secrets >/dev/null && exec "$@"' \
        sh "$@"
    ;;
hung)
    # The activated "service" only watches the bus, so it ends with the session. A session bus
    # prefers the services under XDG_DATA_HOME to those installed.
    cat >"$tmp/data/dbus-1/services/org.freedesktop.secrets.service" <<SERVICE
[D-BUS Service]
Name=org.freedesktop.secrets
Exec=/bin/sh -c 'exec dbus-monitor --address "\$DBUS_STARTER_ADDRESS" >/dev/null 2>&1'
SERVICE
    exec dbus-run-session -- "$@"
    ;;
fresh)
    # A new collection's password is typed into the desktop's own prompt on a private X server.
    exec xvfb-run -a sh -c '(xdotool search --sync --onlyvisible --class gcr-prompter && sleep 1 &&
        for key in Tab Return; do xdotool type --delay 60 pimlo-test && xdotool key $key; done) >/dev/null &
        exec dbus-run-session -- sh -c "gnome-keyring-daemon --daemonize --components=secrets >/dev/null &&
            exec \"\$@\"" sh "$@"' sh "$@"
    ;;
*) echo "unknown mode $mode" >&2 && exit 2 ;;
esac
