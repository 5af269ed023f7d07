# Shared by scripts/demo and scripts/test: dependency install and build.
# Sourced, not run.

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Installs every package of scripts/packages.txt that is not installed yet.
# Package maintainer scripts must not start the machine's own cupsd, snmpd or
# avahi-daemon: a temporary policy-rc.d refuses every service start while apt runs.
install_missing() {
    local missing=() pkg
    while read -r pkg; do
        pkg=${pkg%%#*}; pkg=${pkg//[[:space:]]/}
        [ -n "$pkg" ] || continue
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done < "$top/scripts/packages.txt"
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    # LW_POLICY_RC_D only lets the tests of this function use a scratch path.
    local policy=${LW_POLICY_RC_D:-/usr/sbin/policy-rc.d} placed=0 rc=0
    if [ ! -e "$policy" ]; then
        # Nothing was there: whatever is there from now on is ours to remove.
        placed=1
        { printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null && $sudo chmod 755 "$policy"; } || rc=$?
    fi
    # Failures inside "||" lists do not end a caller running under set -e, so
    # the policy is removed again whatever apt does.
    if [ $rc -eq 0 ]; then
        { $sudo apt-get update -q &&
          DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"; } || rc=$?
    fi
    if [ $placed -eq 1 ]; then
        $sudo rm -f "$policy" || true
    fi
    return $rc
}

# Configures and builds the main tree (g++) in build/.
build_main() {
    cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
    cmake --build "$top/build"
}

# Configures and builds everything with ASan/LSan and UBSan in build-asan/.
build_sanitized() {
    cmake -S "$top" -B "$top/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLEVELWATCH_SANITIZE=ON &&
    cmake --build "$top/build-asan"
}

# Configures and builds, with ThreadSanitizer in build-tsan/, only the SNMP
# library's test of operations running on several threads at once.
build_tsan() {
    cmake -S "$top" -B "$top/build-tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLEVELWATCH_TSAN=ON \
        -DBUILD_PRINTPANELS=OFF -DBUILD_BENCHMARKS=OFF &&
    cmake --build "$top/build-tsan" --target test_fleet_peer
}

# Configures and builds the fuzz targets (clang, libFuzzer, ASan/UBSan) in build-fuzz/.
build_fuzz() {
    command -v clang++ >/dev/null || { echo "clang++ not found: fuzz targets skipped"; return 0; }
    CC=clang CXX=clang++ cmake -S "$top" -B "$top/build-fuzz" -G Ninja \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLEVELWATCH_FUZZ_ONLY=ON &&
    cmake --build "$top/build-fuzz"
}

# Configures a build for /usr without tests and benchmarks in build-pkg/ and
# makes the Debian packages there (cpack -G DEB): build-pkg/*.deb.
# Debian's build flags (hardening included) apply.
build_packages() {
    local cxxflags ldflags
    cxxflags="$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CPPFLAGS) $(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS)"
    ldflags=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)
    CXXFLAGS=$cxxflags LDFLAGS=$ldflags cmake -S "$top" -B "$top/build-pkg" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTS=OFF -DBUILD_BENCHMARKS=OFF &&
    cmake --build "$top/build-pkg" &&
    (cd "$top/build-pkg" && rm -f ./*.deb && cpack -G DEB >cpack.log 2>&1 || { cat cpack.log; false; })
}
