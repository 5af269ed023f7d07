#!/usr/bin/env bash
# The systemd units as built pass `systemd-analyze verify`, with the programs
# they start taken from the build tree and their manual pages from the
# sources (or the man directory of an installation). Arguments:
# LEVELWATCH-DISCOVER LEVELWATCH-TEXTFILE LEVELWATCH-EXPORTER MAN-PAGE-DIR UNIT...
set -euo pipefail
discover=$(realpath "$1") textfile=$(realpath "$2") exporter=$(realpath "$3") mansrc=$4
shift 4
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/man/man1" "$tmp/man/man5" "$tmp/man/man8"
shopt -s nullglob
for s in 1 5 8; do
    for page in "$mansrc"/*.$s; do gzip -c "$page" >"$tmp/man/man$s/$(basename "$page").gz"; done
    for page in "$mansrc"/man$s/*.$s.gz; do cp "$page" "$tmp/man/man$s/"; done
done
for unit in "$@"; do
    sed -e "s|[^ =]*/levelwatch-discover |$discover |" -e "s|=[^ ]*/levelwatch-exporter |=$exporter |" -e "s|=\\(+\\?\\)[^ ]*/levelwatch-textfile |=\\1$textfile |" \
        "$unit" >"$tmp/$(basename "$unit")"
done
MANPATH="$tmp/man" systemd-analyze verify "$tmp"/*.service "$tmp"/*.timer
echo "units verified: $*"
