#!/usr/bin/env bash
# levelwatch-prometheus.service's own commands, as built, run against a state
# directory and a textfile directory of this test's: with a link planted at
# every name they touch, nothing is written through a link, the published
# file is whole, its mode comes from the umask, and a directory planted in its
# place stops the publishing without touching it. Arguments: SERVICE-FILE
# LEVELWATCH-TEXTFILE
set -euo pipefail
unit=$1 helper=$(realpath "$2")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
state=$tmp/state textfile=$tmp/node-exporter
mkdir -p "$state/levelwatch" "$textfile"
printf '#!/bin/sh\necho "levelwatch_printer_up{address=\\"192.0.2.11\\"} 0"\nexit 1\n' >"$tmp/scan"
chmod 755 "$tmp/scan"

# The unit's lines, with its directories and programs replaced by the test's.
command() {
    local line
    line=$(grep "^$1=" "$unit" | sed -e "s|^$1=+\\?||" -e "s|%S|$state|g" \
        -e "s|/var/lib/prometheus/node-exporter|$textfile|g" -e "s|[^ ]*/levelwatch-discover |$tmp/scan |" \
        -e "s|^[^ ]*/levelwatch-textfile |$helper |")
    read -r -a words <<<"$line"
    printf '%s\n' "${words[@]}"
}
mapfile -t start < <(command ExecStart)
mapfile -t post < <(command ExecStartPost)
[ "${start[1]}" = stage ] && [ "${post[1]}" = publish ] || fail "the unit's commands: ${start[*]} / ${post[*]}"
grep -q '^ExecStartPost=+' "$unit" || fail "the publishing does not run as root"
[ "$(grep -c '^ExecStart.*=+' "$unit")" = 1 ] || fail "more than the publishing runs as root"
grep -q '^StandardOutput=' "$unit" && fail "systemd opens an output file for the unit"

echo secret >"$tmp/victim"
for name in levelwatch.prom levelwatch.prom.tmp; do ln -s "$tmp/victim" "$textfile/$name"; done
ln -s "$tmp/victim" "$state/levelwatch/levelwatch.prom"
(umask 0027 && "${start[@]}") && fail "the scan's exit status 1 was lost"
[ $? -eq 1 ] || fail "the stage's exit status"
[ -f "$state/levelwatch/levelwatch.prom" ] && [ ! -L "$state/levelwatch/levelwatch.prom" ] || fail "not staged"
(umask 0022 && "${post[@]}") || fail "publishing failed"
[ "$(cat "$tmp/victim")" = secret ] || fail "written through a link"
[ -f "$textfile/levelwatch.prom" ] && [ ! -L "$textfile/levelwatch.prom" ] || fail "the link was not replaced"
grep -q '^levelwatch_printer_up{address="192.0.2.11"} 0$' "$textfile/levelwatch.prom" || fail "not the scan's text"
[ "$(stat -c %a "$textfile/levelwatch.prom")" = 644 ] || fail "mode $(stat -c %a "$textfile/levelwatch.prom")"
[ "$(find "$textfile" -name '.levelwatch.prom.*' | wc -l)" = 0 ] || fail "a temporary file was left"

# A staged link or a second name of another file is not published; a
# directory in the way, or a link on the directory's path, stops it.
ln -sf "$tmp/victim" "$state/levelwatch/levelwatch.prom"
"${post[@]}" 2>/dev/null && fail "a staged link was published"
rm "$state/levelwatch/levelwatch.prom" && ln "$tmp/victim" "$state/levelwatch/levelwatch.prom"
"${post[@]}" 2>/dev/null && fail "a staged second name was published"
rm "$state/levelwatch/levelwatch.prom" && "${start[@]}" || true
rm "$textfile/levelwatch.prom" && mkdir -p "$textfile/levelwatch.prom/x"
"${post[@]}" 2>/dev/null && fail "published over a directory"
[ -d "$textfile/levelwatch.prom/x" ] || fail "the directory in the way was changed"
rm -r "$textfile/levelwatch.prom"
mv "$textfile" "$tmp/real" && ln -s "$tmp/real" "$textfile"
"${post[@]}" 2>/dev/null && fail "published through a linked directory"
[ -e "$tmp/real/levelwatch.prom" ] && fail "written into the linked directory"
echo "the unit's commands follow no link"
