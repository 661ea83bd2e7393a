#!/bin/sh
# Runs a test program inside a private D-Bus session, so it never touches the user's keyring.
#   keyring-session.sh live      PROGRAM ARGS...  a gnome-keyring-daemon with an unlocked "login"
#   keyring-session.sh dead      PROGRAM ARGS...  the session bus address points at nothing
#   keyring-session.sh nosecrets PROGRAM ARGS...  a bus on which no Secret Service exists
#   keyring-session.sh hung      PROGRAM ARGS...  a Secret Service whose start never finishes
set -eu
mode=$1
shift
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/data" "$tmp/config" "$tmp/cache" "$tmp/run" "$tmp/services"
chmod 700 "$tmp/run"
export HOME="$tmp" XDG_DATA_HOME="$tmp/data" XDG_CONFIG_HOME="$tmp/config" \
    XDG_CACHE_HOME="$tmp/cache" XDG_RUNTIME_DIR="$tmp/run"
# An unlock prompt must never appear on the developer's screen.
unset DISPLAY WAYLAND_DISPLAY

private_bus() {
    cat >"$tmp/bus.conf" <<CONF
<busconfig>
  <type>session</type>
  <listen>unix:dir=$tmp/run</listen>
  <servicedir>$tmp/services</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
    <allow user="*"/>
  </policy>
</busconfig>
CONF
    exec dbus-run-session --config-file="$tmp/bus.conf" -- "$@"
}

case "$mode" in
live)
    # A stand-in unlock prompt: once $HOME/prompt-answer exists, it unlocks as a typed password.
    mkdir -p "$tmp/data/dbus-1/services"
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
    exec dbus-run-session -- sh -c '
        printf pimlo-test | gnome-keyring-daemon --foreground --unlock --components=secrets \
            >"$HOME/keyring.log" 2>&1 &
        keyring=$!
        i=0
        until dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
                org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null |
                grep -q "boolean true"; do
            i=$((i + 1))
            if [ $i -gt 100 ]; then
                echo "gnome-keyring-daemon did not start" >&2
                cat "$HOME/keyring.log" >&2
                kill $keyring
                exit 1
            fi
            sleep 0.1
        done
        status=0
        "$@" || status=$?
        kill $keyring
        wait $keyring || true
        exit $status' sh "$@"
    ;;
dead)
    DBUS_SESSION_BUS_ADDRESS="unix:path=$tmp/run/no-bus" exec "$@"
    ;;
nosecrets)
    private_bus "$@"
    ;;
hung)
    # The activated "service" only watches the bus, so it ends with the session.
    cat >"$tmp/services/org.freedesktop.secrets.service" <<SERVICE
[D-BUS Service]
Name=org.freedesktop.secrets
Exec=/bin/sh -c 'exec dbus-monitor --address "\$DBUS_STARTER_ADDRESS" >/dev/null 2>&1'
SERVICE
    private_bus "$@"
    ;;
*)
    echo "unknown mode $mode" >&2
    exit 2
    ;;
esac
