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
    local policy=/usr/sbin/policy-rc.d placed=0
    if [ ! -e "$policy" ]; then
        printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null && $sudo chmod 755 "$policy" && placed=1
    fi
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
    local rc=$?
    [ $placed -eq 1 ] && $sudo rm -f "$policy"
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

# Configures and builds the fuzz targets (clang, libFuzzer, ASan/UBSan) in build-fuzz/.
build_fuzz() {
    command -v clang++ >/dev/null || { echo "clang++ not found: fuzz targets skipped"; return 0; }
    CC=clang CXX=clang++ cmake -S "$top" -B "$top/build-fuzz" -G Ninja \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLEVELWATCH_FUZZ_ONLY=ON &&
    cmake --build "$top/build-fuzz"
}
