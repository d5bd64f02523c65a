#!/bin/bash
# Builds the Debian package and checks it without installing it. Argument: SOURCE_DIR.
set -euo pipefail
top=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
fail() { echo "FAIL: $*" >&2; exit 1; }
trap 'echo "FAIL at line $LINENO: $BASH_COMMAND" >&2' ERR
work=$(mktemp -d "${TMPDIR:-/tmp}/duskwarm-deb.XXXXXX")
trap 'rm -rf -- "$work"' EXIT

deb=$("$top/scripts/package" | tail -n 1)
listing=$(dpkg-deb -c "$deb")
for f in bin/duskwarm share/man/man1/duskwarm.1.gz lib/systemd/user/duskwarm.service \
    share/doc/duskwarm/{examples/duskwarm.desktop,changelog.gz,copyright}; do
    grep -q " \./usr/$f\$" <<<"$listing" || fail "/usr/$f is not in the package"
done
lintian --fail-on error,warning "$deb"
dpkg-deb -I "$deb" postinst | grep -q 'debian-installed'   # the unit is enabled only if it was

dpkg-deb -x "$deb" "$work/root"
program=$work/root/usr/bin/duskwarm
out=$(env -u DISPLAY "$program" </dev/null)
[[ $out == *$'\n'"Usage: $program "* ]]

# The unit starts the installed program, only with a location its user set.
unit=$work/root/usr/lib/systemd/user/duskwarm.service
grep -qx 'ExecStart=/usr/bin/duskwarm $DUSKWARM_ARGS -nofork' "$unit"
! grep -q '^Environment=' "$unit" || fail "the unit sets a location of its own"
line='Environment="DUSKWARM_ARGS=-l LATITUDE -g LONGITUDE"'
# ExecStartPre as systemd reads it: lines joined, $$ a plain $.
pre=$(sed -n '/^ExecStartPre=/,/[^\\]$/{s/^ExecStartPre=//;s/\\$//;p}' "$unit" | tr -d '\n')
eval "check=(${pre//\$\$/\\\$})"
said=$(env -u DUSKWARM_ARGS "${check[@]}") && fail "the unit starts without a location"
[[ $said == *"systemctl --user edit duskwarm.service"*"[Service]"$'\n'"$line" ]]
DUSKWARM_ARGS="-l 51.5" "${check[@]}"
zcat "$work/root/usr/share/man/man1/duskwarm.1.gz" | grep -qF "${line//-/\\-}"
grep -qF "$line" "$top/README.md"

# The autostart entry starts nothing until its placeholders are replaced.
desktop=$work/root/usr/share/doc/duskwarm/examples/duskwarm.desktop
desktop-file-validate "$desktop"
read -ra exec <<<"$(sed -n 's/^Exec=duskwarm //p' "$desktop")"
! env -u DISPLAY "$program" "${exec[@]}" </dev/null >/dev/null || fail "Exec= has a location"

# The same bytes from a copy of the source elsewhere.
mkdir "$work/elsewhere"
tar -C "$top" --exclude-vcs --exclude='./build*' -cf - . | tar -x -C "$work/elsewhere"
cmp "$deb" "$("$work/elsewhere/scripts/package" | tail -n 1)"
