#!/usr/bin/env bash
# The Prometheus files the levelwatch package ships, as Debian's promtool
# reads them: the scrape configuration and the sharding recipe (with their
# rule file where the sources have it), the alerting rules, and the rules'
# unit test on series of ours. Argument: the source tree.
set -euo pipefail
src=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
promtool check rules "$src/packaging/prometheus/levelwatch-alerts.yml"
(cd "$src/tests/packaging" && promtool test rules levelwatch-alerts.test.yml)
for config in levelwatch-exporter.yml levelwatch-exporter-shards.yml; do
    sed "s|/usr/share/levelwatch/prometheus/|$src/packaging/prometheus/|" "$src/packaging/prometheus/$config" >"$tmp/$config"
    promtool check config "$tmp/$config"
done
