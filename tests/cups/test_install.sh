#!/usr/bin/env bash
# `cmake --install BUILD --prefix /usr` into a DESTDIR: levelwatch and
# levelwatch-discover land in usr/bin, our filters and backend in CUPS's
# server directory (cups-config --serverbin), the manual pages in
# usr/share/man, and the installed programs run from there. The PPD's filter
# lines name exactly the installed filters (cupstestppd with that root).
set -uo pipefail
build=$1 src=$2
dest=$(mktemp -d) && [ -d "$dest" ] || exit 1 # never an install into the machine's own /usr
trap 'rm -rf "$dest"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

DESTDIR=$dest cmake --install "$build" --prefix /usr >"$dest.log" 2>&1 || { cat "$dest.log"; rm -f "$dest.log"; exit 1; }
rm -f "$dest.log"
filters=$dest$(cups-config --serverbin)/filter
for program in "$dest/usr/bin/levelwatch" "$filters/levelwatch-passthru" "$filters/levelwatch-command"; do
    [ -x "$program" ] || fail "$program not installed"
done

usage=$("$dest/usr/bin/levelwatch" --help) || fail "levelwatch --help failed"
[ "${usage%%$'\n'*}" = "Usage: levelwatch QUEUE" ] || fail "levelwatch --help: $usage"
"$dest/usr/bin/levelwatch-discover" --help | grep -q -- '--model-oid' || fail "levelwatch-discover --help"
[ "$(stat -c %a "$dest$(cups-config --serverbin)/backend/snmp-discover")" = 755 ] || fail "the backend's mode"
# For administrators: the check beside Debian's monitoring plug-ins, and the
# timer's service naming the installed program and settings.
[ -x "$dest/usr/lib/nagios/plugins/check_levelwatch" ] || fail "check_levelwatch not installed"
grep -qx 'ExecStart=/usr/libexec/levelwatch/levelwatch-textfile stage [^ ]* /usr/bin/levelwatch-discover --levels --format prometheus .*' \
    "$dest/usr/lib/systemd/system/levelwatch-prometheus.service" || fail "the service's program"
grep -qx 'EnvironmentFile=/etc/default/levelwatch' "$dest/usr/lib/systemd/system/levelwatch-prometheus.service" &&
    [ -f "$dest/etc/default/levelwatch" ] && [ -f "$dest/usr/lib/systemd/system/levelwatch-prometheus.timer" ] ||
    fail "the timer, its service or its settings"
for page in levelwatch.1 levelwatch-discover.1 check_levelwatch.1 levelwatch-passthru.8 levelwatch-command.8 snmp-discover.8; do
    [ -f "$dest/usr/share/man/man${page##*.}/$page.gz" ] || fail "no manual page $page"
done
# The print dialog, installed elsewhere than it was built for, finds its
# plug-in and the PPD's panels beside itself.
if [ -x "$dest/usr/bin/printpanels-host" ]; then
    panels=$(QT_QPA_PLATFORM=offscreen "$dest/usr/bin/printpanels-host" --list-panels \
        --ppd "$dest/usr/share/ppd/printpanels/corvane5170.ppd" 2>/dev/null)
    [ "$panels" = $'Image Options\tcom.PrinterPDE\nJob Type\tcom.PrinterPDE' ] || fail "printpanels-host: $panels"
fi

# An smb:// printer has no address to ask: no traffic, a reason, the data intact.
export DEVICE_URI=smb://server/share PRINTER=Colour
out=$(printf 'page data\n' | "$filters/levelwatch-passthru" 1 user title 1 '' 2>"$dest/err") || fail "passthru failed"
[ "$out" = "page data" ] || fail "passthru changed the data: $out"
grep -qx 'DEBUG: Toner levels not read: no network address found for the printer.' "$dest/err" ||
    fail "passthru status: $(cat "$dest/err")"

printf '#CUPS-COMMAND\nReportLevels\nClean\n' >"$dest/commands"
"$filters/levelwatch-command" 2 user title 1 '' "$dest/commands" >"$dest/out" 2>"$dest/err" || fail "command failed"
[ -s "$dest/out" ] && fail "the command filter sent data to the printer"
grep -qx 'INFO: Toner levels not read: no network address found for the printer.' "$dest/err" &&
    grep -qx 'DEBUG: Printer command "Clean" is not supported; ignored.' "$dest/err" ||
    fail "command status: $(cat "$dest/err")"
printf 'ReportLevels\n' | "$filters/levelwatch-command" 3 user title 1 '' 2>/dev/null &&
    fail "a file without #CUPS-COMMAND was taken"

ppdcheck=$(cupstestppd -W all -R "$dest" "$src/plugin/ppd/corvane5170.ppd" 2>&1)
[ $? -eq 0 ] && ! grep -q WARN <<<"$ppdcheck" || fail "cupstestppd with the installed filters: $ppdcheck"

[ $failures -eq 0 ] && echo "installed levelwatch and CUPS filters run from $(cups-config --serverbin)/filter"
exit $((failures > 0))
