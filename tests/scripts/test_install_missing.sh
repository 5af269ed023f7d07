#!/usr/bin/env bash
# scripts/lib.sh install_missing under set -e, as scripts/test and scripts/demo
# run it, with apt-get, dpkg-query and sudo played by stand-ins: the temporary
# policy-rc.d refuses service starts while apt runs and is gone afterwards,
# whether the install worked or failed; one that was there before stays.
set -uo pipefail
lib=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
# Every package counts as missing.
printf '#!/bin/sh\nexit 1\n' > "$work/bin/dpkg-query"
# apt-get install fails when asked to (APT_FAILS=1) and checks that the
# policy is in place and refuses (exit 101) while it runs.
cat > "$work/bin/apt-get" <<'A'
#!/bin/sh
[ "$1" = update ] && exit 0
"$LW_POLICY_RC_D" cups start; [ $? -eq 101 ] || { echo "no refusing policy-rc.d during install" >&2; exit 99; }
[ "${APT_FAILS:-0}" = 1 ] && exit 100
exit 0
A
printf '#!/bin/sh\nexec "$@"\n' > "$work/bin/sudo"
chmod 755 "$work/bin/"*
export PATH="$work/bin:$PATH" LW_POLICY_RC_D="$work/policy-rc.d"
failures=0

run() { # expected-status apt-fails
    APT_FAILS=$2 bash -c 'set -euo pipefail; source "$1"; install_missing >/dev/null; echo reached' _ "$lib" \
        > "$work/out" 2>&1
    local status=$?
    if [ "$1" = 0 ] && { [ $status -ne 0 ] || ! grep -q reached "$work/out"; }; then
        echo "FAIL: install should succeed (status $status): $(cat "$work/out")"; failures=$((failures + 1))
    elif [ "$1" != 0 ] && { [ $status -eq 0 ] || grep -q reached "$work/out"; }; then
        echo "FAIL: a failed install must end the caller (status $status)"; failures=$((failures + 1))
    fi
}

run 0 0
[ -e "$LW_POLICY_RC_D" ] && { echo "FAIL: policy-rc.d left after a good install"; failures=$((failures + 1)); }
run 1 1
[ -e "$LW_POLICY_RC_D" ] && { echo "FAIL: policy-rc.d left after a failed install"; failures=$((failures + 1)); }
# A policy the administrator placed is neither replaced nor removed.
printf '#!/bin/sh\nexit 101\n# site policy\n' > "$LW_POLICY_RC_D"
chmod 755 "$LW_POLICY_RC_D"
run 1 1
grep -q 'site policy' "$LW_POLICY_RC_D" 2>/dev/null || { echo "FAIL: the site's policy-rc.d was touched"; failures=$((failures + 1)); }
[ $failures -eq 0 ] && echo "install_missing: policy-rc.d handled in all three cases"
exit $((failures > 0))
