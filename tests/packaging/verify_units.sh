#!/usr/bin/env bash
# The systemd units as built pass `systemd-analyze verify`, with the program
# they start taken from the build tree and their manual pages from the
# sources (or the man1 directory of an installation). Arguments:
# LEVELWATCH-DISCOVER MAN-PAGE-DIR UNIT...
set -euo pipefail
discover=$(realpath "$1") mansrc=$2
shift 2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/man/man1"
shopt -s nullglob
for page in "$mansrc"/*.1; do gzip -c "$page" >"$tmp/man/man1/$(basename "$page").gz"; done
for page in "$mansrc"/*.1.gz; do cp "$page" "$tmp/man/man1/"; done
for unit in "$@"; do
    sed "s|^ExecStart=[^ ]*/levelwatch-discover |ExecStart=$discover |" "$unit" >"$tmp/$(basename "$unit")"
done
MANPATH="$tmp/man" systemd-analyze verify "$tmp"/*.service "$tmp"/*.timer
echo "units verified: $*"
