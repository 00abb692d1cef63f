#!/bin/sh
# Runs the opt-in real-systemd test (RealSystemd.*) against systemd itself on
# a host whose PID 1 is not systemd: systemd's user manager, in a private
# mount namespace where its unit directory is mounted over
# /etc/systemd/system, its bus over the system bus socket and an empty tmpfs
# over /run/systemd (with the system/ that says systemd runs). Nothing
# outside the namespace is touched; everything lives in a scratch directory.
#   real_systemd_user_manager.sh TESTS_CLI
# Exit 0 passed, 1 failed, 77 skipped (the reason printed).
set -u

skip() { echo "skipped: $*"; exit 77; }

if [ "${1:-}" != --inside ]; then
    tests=${1:?usage: $0 TESTS_CLI}
    [ "$(id -u)" = 0 ] || skip "a private mount namespace needs root"
    [ -d /run/systemd/system ] && skip "systemd is PID 1 here: run OVRINSMS_REAL_SYSTEMD=1 $tests --gtest_filter='RealSystemd.*' itself"
    systemd=
    for s in /lib/systemd/systemd /usr/lib/systemd/systemd; do [ -x "$s" ] && systemd=$s && break; done
    [ -n "$systemd" ] || skip "no systemd program (package systemd)"
    [ -e /usr/lib/systemd/user/dbus.socket ] || skip "no user bus for systemd's user manager (package dbus-user-session)"
    [ -S /run/dbus/system_bus_socket ] || [ -e /run/dbus/system_bus_socket ] || skip "no /run/dbus/system_bus_socket to mount over"
    command -v unshare > /dev/null || skip "no unshare (package util-linux)"
    scratch=$(mktemp -d /tmp/ovr-real-systemd.XXXXXX) || exit 1
    unshare --mount --propagation private "$0" --inside "$tests" "$systemd" "$scratch"
    rc=$?
    rm -rf "$scratch"
    exit $rc
fi

tests=$2 systemd=$3 R=$4
mkdir -p "$R/config/systemd/user" "$R/run" "$R/home" && chmod 700 "$R/run" || exit 1
mount -t tmpfs tmpfs /run/systemd && mkdir /run/systemd/system &&
    mount --bind "$R/config/systemd/user" /etc/systemd/system || skip "the mounts of the namespace failed"
export XDG_RUNTIME_DIR="$R/run" HOME="$R/home" XDG_CONFIG_HOME="$R/config"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$R/run/bus"
"$systemd" --user > "$R/systemd.log" 2>&1 &
manager=$!
up=
for _ in $(seq 100); do
    if dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
        string:org.freedesktop.systemd1 2> /dev/null | grep -q "boolean true"; then
        up=1
        break
    fi
    kill -0 $manager 2> /dev/null || break
    sleep 0.1
done
rc=77
if [ -z "$up" ]; then
    echo "skipped: systemd's user manager did not come up on its bus:"
    tail -5 "$R/systemd.log"
elif mount --bind "$R/run/bus" /run/dbus/system_bus_socket; then
    # HOME and the data directories of the test are its own scratch ones.
    OVRINSMS_REAL_SYSTEMD=1 "$tests" --gtest_filter='RealSystemd.*'
    rc=$?
else
    echo "skipped: the user bus cannot be mounted over the system bus socket"
fi
# A TERM makes the manager stop its units, then exit.
kill $manager 2> /dev/null
wait $manager
exit $rc
