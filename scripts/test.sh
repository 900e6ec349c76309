#!/usr/bin/env bash
# Builds Tunorva and runs every test: the layer check, the full build, its
# Debian package installed and tried (scripts/check-package.sh), the full build
# again under ASan+UBSan (GUI tests included), the engine core under TSan, and
# each fuzz target for FUZZ_SECONDS seconds (at least 30).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh

jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-30}
[ "$fuzz_seconds" -ge 30 ] || fuzz_seconds=30
passed=0
failed=0
failures=()

run() {  # run NAME COMMAND...
  local name=$1; shift
  echo "=== $name"
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); failures+=("$name"); fi
}

build() {  # build DIR CMAKE-ARGS...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null && cmake --build "$dir" -j "$jobs"
}

run "layers"       bash scripts/check-layers.sh
run "build"        build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
run "tests"        ctest --no-tests=error --test-dir build --output-on-failure -j "$jobs"
# The Debian package from that build: made, checked, installed, used, removed.
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
run "package"      $sudo timeout 1500 bash scripts/check-package.sh build

run "build asan"   build build-asan -DCMAKE_BUILD_TYPE=Debug "-DTUNORVA_SANITIZE=address;undefined;float-cast-overflow"
run "tests asan"   env ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
                     ctest --no-tests=error --test-dir build-asan --output-on-failure -j "$jobs"

run "build tsan"   build build-tsan -DCMAKE_BUILD_TYPE=Debug -DTUNORVA_CORE_ONLY=ON -DTUNORVA_SANITIZE=thread
run "tests tsan"   env TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/tsan.supp" ctest --no-tests=error --test-dir build-tsan --output-on-failure -j "$jobs"

if [ -d fuzz ] && ls fuzz/*.cpp >/dev/null 2>&1; then
  run "build fuzz" build build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUNORVA_CORE_ONLY=ON \
                     -DTUNORVA_TESTS=OFF -DTUNORVA_FUZZ=ON \
                     -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang
  for target in build-fuzz/fuzz/fuzz_*; do
    [ -f "$target" ] && [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus="fuzz/corpus/${name#fuzz_}"
    work=$(mktemp -d)
    [ -d "$corpus" ] && cp -r "$corpus/." "$work/"
    run "$name" "$target" -max_total_time="$fuzz_seconds" -print_final_stats=0 "$work"
    rm -rf "$work"
  done
fi

echo
[ ${#failures[@]} -eq 0 ] || echo "failed: ${failures[*]}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
