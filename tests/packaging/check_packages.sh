#!/usr/bin/env bash
# The Debian packages of a build (scripts/package): their control data and
# contents, lintian, and the installed programs run from the unpacked
# packages: manual pages render, German texts come from the installed
# catalogues, the host finds the plug-in installed beside it, the PPD passes
# cupstestppd with the installed filters.
set -uo pipefail
dir=${1:?usage: check_packages.sh BUILD-PKG-DIR}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
deb() { ls "$dir"/"$1"_*.deb 2>/dev/null | head -n 1; }

levelwatch=$(deb levelwatch) printpanels=$(deb printpanels) ppd=$(deb corvane5170-ppd)
for p in "$levelwatch" "$printpanels" "$ppd"; do [ -f "$p" ] || { echo "FAIL: a package is missing in $dir"; exit 1; }; done

# Control data: names, architectures, dependencies from dpkg-shlibdeps.
field() { dpkg-deb -f "$1" "$2"; }
[ "$(field "$ppd" Architecture)" = all ] || fail "the PPD package is not Architecture: all"
[ "$(field "$levelwatch" Architecture)" = "$(dpkg --print-architecture)" ] || fail "levelwatch's architecture"
grep -q 'libcups2' <<<"$(field "$levelwatch" Depends)" || fail "levelwatch does not depend on libcups2: $(field "$levelwatch" Depends)"
# Debian's shared libcrypto (found by dpkg-shlibdeps) and libavutil, which the
# SNMP library loads only for SNMPv3 privacy (named by the package itself).
for lib in libssl3 libavutil; do
    grep -q "$lib" <<<"$(field "$levelwatch" Depends)" || fail "levelwatch does not depend on $lib: $(field "$levelwatch" Depends)"
done
grep -q 'libqt6widgets6' <<<"$(field "$printpanels" Depends)" || fail "printpanels does not depend on Qt: $(field "$printpanels" Depends)"
grep -q '^levelwatch (= ' <<<"$(field "$ppd" Depends)" || fail "the PPD does not depend on the levelwatch filters it names"

# Contents: FHS places only, owned by root, a copyright and changelog each.
for p in "$levelwatch" "$printpanels" "$ppd"; do
    name=$(field "$p" Package)
    contents=$(dpkg-deb -c "$p")
    while read -r _ owner _ _ _ path; do
        path=${path#./}
        [ "$owner" = root/root ] || fail "$name: $path owned by $owner"
        case "$path" in
        usr/ | usr/bin/* | usr/lib/ | usr/lib/cups/ | usr/lib/cups/filter/* | usr/lib/cups/backend/* | \
            usr/lib/printpanels/* | usr/libexec/ | usr/libexec/printpanels-portal | usr/share/dbus-1/* | \
            usr/share/xdg-desktop-portal/* | usr/share/ | usr/share/doc/* | usr/share/man/* | usr/share/locale/* | \
            usr/share/ppd/* | usr/share/applications/* | usr/share/icons/* | usr/share/printpanels/* | \
            usr/lib/nagios/ | usr/lib/nagios/plugins/ | usr/lib/nagios/plugins/check_levelwatch | \
            usr/lib/systemd/ | usr/lib/systemd/system/ | usr/lib/systemd/system/levelwatch-prometheus.* | \
            usr/lib/systemd/system/levelwatch-exporter.service | usr/share/levelwatch/ | usr/share/levelwatch/prometheus/ | \
            usr/share/levelwatch/prometheus/levelwatch-*.yml | etc/default/levelwatch-exporter | \
            usr/libexec/ | usr/libexec/levelwatch/ | usr/libexec/levelwatch/levelwatch-textfile | \
            etc/ | etc/default/ | etc/default/levelwatch | etc/levelwatch/ | etc/levelwatch/snmp.conf) ;;
        *) fail "$name: $path is not where it belongs" ;;
        esac
    done <<<"$contents"
    for doc in copyright changelog.gz; do
        grep -q "usr/share/doc/$name/$doc\$" <<<"$contents" || fail "$name has no $doc"
    done
done

lint=$(lintian --fail-on error,warning --tag-display-limit 0 "$levelwatch" "$printpanels" "$ppd" 2>&1)
[ $? -eq 0 ] || fail "lintian: $lint"

# The settings of the timer's service are a conffile.
control=$(mktemp -d) && [ -d "$control" ] || exit 1
dpkg-deb -e "$levelwatch" "$control"
[ "$(cat "$control/conffiles" 2>/dev/null)" = $'/etc/default/levelwatch\n/etc/default/levelwatch-exporter\n/etc/levelwatch/snmp.conf' ] ||
    fail "levelwatch's conffiles: $(cat "$control/conffiles" 2>&1)"
rm -rf "$control"

# The programs as installed, from the unpacked packages.
root=$(mktemp -d) && [ -d "$root" ] || exit 1
trap 'rm -rf "$root"' EXIT
for p in "$levelwatch" "$printpanels" "$ppd"; do dpkg-deb -x "$p" "$root"; done

# No program starts with libavutil (and its twenty graphics libraries) loaded;
# the SNMP roads link Debian's libcrypto.
for program in "$root"/usr/bin/* "$root"/usr/lib/cups/filter/* "$root"/usr/lib/cups/backend/* \
    "$root"/usr/lib/nagios/plugins/*; do
    needed=$(objdump -p "$program" | awk '/NEEDED/ {print $2}')
    grep -q libavutil <<<"$needed" && fail "$(basename "$program") links libavutil: $needed"
done
grep -q '^libcrypto.so' <<<"$(objdump -p "$root/usr/bin/levelwatch" | awk '/NEEDED/ {print $2}')" ||
    fail "levelwatch does not link the shared libcrypto"

# The timer and its service as systemd reads them (the installed program and
# manual pages), not enabled by anything in the package.
bash "$(dirname "$0")/verify_units.sh" "$root/usr/bin/levelwatch-discover" \
    "$root/usr/libexec/levelwatch/levelwatch-textfile" "$root/usr/bin/levelwatch-exporter" "$root/usr/share/man" \
    "$root"/usr/lib/systemd/system/levelwatch-prometheus.service \
    "$root"/usr/lib/systemd/system/levelwatch-prometheus.timer \
    "$root"/usr/lib/systemd/system/levelwatch-exporter.service >/dev/null || fail "systemd-analyze verify of the units"
grep -q '^ExecStart=/usr/bin/levelwatch-exporter \$ARGS$' "$root/usr/lib/systemd/system/levelwatch-exporter.service" ||
    fail "the exporter's service does not run the installed levelwatch-exporter"
grep -q '^EnvironmentFile=/etc/default/levelwatch-exporter$' "$root/usr/lib/systemd/system/levelwatch-exporter.service" ||
    fail "the exporter's service does not read /etc/default/levelwatch-exporter"
"$root/usr/bin/levelwatch-exporter" --help | grep -q -- '--allow=CIDR' || fail "levelwatch-exporter --help"
grep -q 'ExecStart=/usr/libexec/levelwatch/levelwatch-textfile stage %S/levelwatch/levelwatch.prom /usr/bin/levelwatch-discover --levels --format prometheus --hosts-file' \
    "$root/usr/lib/systemd/system/levelwatch-prometheus.service" || fail "the service does not run the installed levelwatch-discover"
[ -e "$root/etc/systemd" ] && fail "the package enables a unit"
"$root/usr/lib/nagios/plugins/check_levelwatch" --help | grep -q -- '--warning=RANGE' || fail "check_levelwatch --help"

for page in "$root"/usr/share/man/man*/*.gz; do
    text=$(cd "$root/usr/share/man" && MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$text" ] || fail "$(basename "$page"): $text"
    [ -n "$(cd "$root/usr/share/man" && MANWIDTH=80 man -l "$page" 2>/dev/null)" ] || fail "$(basename "$page") renders nothing"
done

usage=$("$root/usr/bin/levelwatch" --help) && [ "${usage%%$'\n'*}" = "Usage: levelwatch QUEUE" ] ||
    fail "levelwatch --help: $usage"
german=$(LANG=C.UTF-8 LANGUAGE=de LEVELWATCH_LOCALEDIR="$root/usr/share/locale" "$root/usr/bin/levelwatch" --help)
[ "${german%%$'\n'*}" = "Aufruf: levelwatch WARTESCHLANGE" ] || fail "levelwatch in German: $german"
"$root/usr/bin/levelwatch-discover" --help | grep -q -- '--model-oid' || fail "levelwatch-discover --help"
LANG=C.UTF-8 LANGUAGE=de LEVELWATCH_LOCALEDIR="$root/usr/share/locale" "$root/usr/bin/levelwatch-discover" --help |
    grep -q '^Aufruf: levelwatch-discover' || fail "levelwatch-discover in German"
"$root/usr/lib/cups/backend/snmp-discover" 1 user title 1 '' 2>/dev/null && fail "the backend took a job"

panels=$(LANG=de_DE.UTF-8 QT_QPA_PLATFORM=offscreen "$root/usr/bin/printpanels-host" \
    --ppd "$root/usr/share/ppd/printpanels/corvane5170.ppd" --list-panels 2>/dev/null)
[ "$panels" = $'Bildoptionen\tcom.PrinterPDE\nAuftragsart\tcom.PrinterPDE' ] ||
    fail "printpanels-host with the installed plug-in and German tables: $panels"
hints=$(desktop-file-validate "$root/usr/share/applications/printpanels-host.desktop" 2>&1) && [ -z "$hints" ] ||
    fail "the desktop entry: $hints"

# The print portal: activated by its bus name, chosen for no desktop until
# the administrator names it.
service="$root/usr/share/dbus-1/services/org.freedesktop.impl.portal.desktop.printpanels.service"
grep -qx 'Exec=/usr/libexec/printpanels-portal' "$service" 2>/dev/null || fail "the portal's D-Bus service: $(cat "$service" 2>&1)"
portalfile="$root/usr/share/xdg-desktop-portal/portals/printpanels.portal"
grep -qx 'UseIn=printpanels' "$portalfile" 2>/dev/null && grep -qx 'Interfaces=org.freedesktop.impl.portal.Print;' "$portalfile" ||
    fail "the portal file: $(cat "$portalfile" 2>&1)"
QT_QPA_PLATFORM=offscreen "$root/usr/libexec/printpanels-portal" --help | grep -q 'Print portal backend' ||
    fail "printpanels-portal --help"

ppdcheck=$(cupstestppd -W all -R "$root" "$root/usr/share/ppd/printpanels/corvane5170.ppd" 2>&1)
[ $? -eq 0 ] && ! grep -q WARN <<<"$ppdcheck" || fail "cupstestppd with the installed filters: $ppdcheck"

[ $failures -eq 0 ] && echo "packages checked: $(basename "$levelwatch") $(basename "$printpanels") $(basename "$ppd")"
exit $((failures > 0))
