#!/bin/sh
# Installs the package on this machine, runs the installed command-line twin,
# removes the package (the data directory stays) and purges it (the data
# directory goes). CI runs it on its fresh machine.
set -eu
deb=$(ls "$(dirname "$0")"/../build-package/package/*.deb)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
fresh_group=yes
getent group ovrinsms >/dev/null && fresh_group=no

$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$(realpath "$deb")" >/dev/null
/usr/bin/ovrinsmsctl --version
rc=0
/usr/bin/ovrinsmsctl status || rc=$?
# 0: both running; 3: not installed or not running (as systemctl is-active);
# 1: no service manager to ask (no systemd on the machine).
case $rc in 0|1|3) ;; *) echo "ovrinsmsctl status: unexpected exit $rc"; exit 1 ;; esac
test "$(stat -c %a:%G /var/lib/ovrinsms)" = 2775:ovrinsms
test "$(stat -c %a:%G /var/lib/ovrinsms/private)" = 2770:ovrinsms
test -r /usr/share/ovrinsms/manual/index.html
$sudo dpkg -r ovrinsms-console >/dev/null
test ! -e /usr/lib/ovrinsms/ovrinsmsctl && test -d /var/lib/ovrinsms
$sudo dpkg -P ovrinsms-console >/dev/null
test ! -e /var/lib/ovrinsms
# Leave the machine as it was found.
[ $fresh_group = no ] || $sudo groupdel ovrinsms
echo "package installed, ran, removed and purged cleanly"
