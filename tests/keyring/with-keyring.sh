#!/bin/sh
# Runs a test program against a keyring of its own: a Secret Service on the private session bus
# that dbus-run-session started for it, unlocked with a throwaway password, over a home folder
# made for the run, so that no keyring of the machine's users is read or written.
#   dbus-run-session -- with-keyring.sh PROGRAM [ARGUMENTS...]
# Works as root, without a display and without standard input.
set -eu

if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    echo "with-keyring.sh: no session bus; run it under dbus-run-session" >&2
    exit 2
fi
scratch=$(mktemp -d "${TMPDIR:-/tmp}/krv-keyring-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export HOME="$scratch/home"
export XDG_DATA_HOME="$HOME/.local/share"
export XDG_CONFIG_HOME="$HOME/.config"
export XDG_CACHE_HOME="$HOME/.cache"
export XDG_RUNTIME_DIR="$scratch/runtime"
export KRV_KEYRING_SCRATCH="$scratch"
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# A desktop's name would make the keyring library pick that desktop's own wallet.
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION DISPLAY WAYLAND_DISPLAY

# The daemon reads the password on its standard input, forks and stays on the bus; it ends with
# the bus when dbus-run-session does.
printf '%s' "throwaway-$(od -An -N8 -tx8 /dev/urandom | tr -d ' ')" |
    gnome-keyring-daemon --unlock --components=secrets >"$scratch/daemon.out" 2>&1 || {
    echo "with-keyring.sh: gnome-keyring-daemon did not start" >&2
    cat "$scratch/daemon.out" >&2
    exit 2
}
"$@"
