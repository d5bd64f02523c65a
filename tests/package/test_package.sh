#!/bin/bash
# Builds the Debian package and checks it without installing it: its files, lintian,
# a user unit left disabled, the unpacked program and autostart entry. Argument: SOURCE_DIR.
set -euo pipefail
top=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
fail() { echo "FAIL: $*" >&2; exit 1; }
deb=$("$top/scripts/package" | tail -n 1)
listing=$(dpkg-deb -c "$deb")
for f in bin/duskwarm share/man/man1/duskwarm.1.gz lib/systemd/user/duskwarm.service \
    share/doc/duskwarm/{examples/duskwarm.desktop,changelog.gz,copyright}; do
    grep -q " \./usr/$f\$" <<<"$listing" || fail "/usr/$f is not in the package"
done
lintian --fail-on error,warning "$deb" || fail "lintian reports an error or a warning"
# The template that leaves a user unit disabled enables it only if it was before.
dpkg-deb -I "$deb" postinst | grep -q 'debian-installed' || fail "the postinst enables the user unit"
work=$(mktemp -d "${TMPDIR:-/tmp}/duskwarm-deb.XXXXXX")
trap 'rm -rf -- "$work"' EXIT
dpkg-deb -x "$deb" "$work"
out=$(env -u DISPLAY "$work/usr/bin/duskwarm" </dev/null) || fail "the program without arguments: status $?"
[[ $out == *$'\n'"Usage: $work/usr/bin/duskwarm "* ]] || fail "the program printed no usage: $out"
desktop-file-validate "$work/usr/share/doc/duskwarm/examples/duskwarm.desktop" || fail "the autostart entry"
