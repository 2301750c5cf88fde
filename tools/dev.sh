#!/usr/bin/env bash
# Sets up, builds, runs and tests Vantrel on a Debian machine.
#   tools/dev.sh run       install what is missing, build, start the program
#   tools/dev.sh test      install what is missing, build, run every test
#   tools/dev.sh sanitize  the tests under AddressSanitizer and UndefinedBehaviorSanitizer
#   tools/dev.sh bench     build and run the benchmarks
# Environment: BUILD_DIR (default build), VANTREL_WERROR=ON to fail on warnings.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

install_packages() {
    local wanted missing=()
    wanted=$(grep -v -E '^\s*(#|$)' tools/packages.txt)
    for p in $wanted; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        as_root apt-get update -qq
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

build() {
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja -DVANTREL_WERROR="${VANTREL_WERROR:-OFF}" "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
}

run_tests() {
    local dir=$1
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300
}

cmd=${1:-test}
shift || true
case "$cmd" in
    install) install_packages ;;
    run)
        install_packages
        build "${BUILD_DIR:-build}"
        exec "${BUILD_DIR:-build}/vantrel" "$@"
        ;;
    test)
        install_packages
        build "${BUILD_DIR:-build}"
        run_tests "${BUILD_DIR:-build}"
        ;;
    sanitize)
        install_packages
        build "${BUILD_DIR:-build-asan}" -DVANTREL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
        ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions="$root/tools/lsan.supp" UBSAN_OPTIONS=print_stacktrace=1 run_tests "${BUILD_DIR:-build-asan}"
        ;;
    bench)
        install_packages
        build "${BUILD_DIR:-build-bench}" -DVANTREL_BENCH=ON -DCMAKE_BUILD_TYPE=Release
        for b in "${BUILD_DIR:-build-bench}"/bench/bench_*; do [ -x "$b" ] && "$b" "$@"; done
        ;;
    *) echo "usage: tools/dev.sh run|test|sanitize|bench" >&2; exit 2 ;;
esac
