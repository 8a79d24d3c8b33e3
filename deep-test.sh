#!/usr/bin/env bash
# The test suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer,
# the layout's threaded tests built with ThreadSanitizer, then every fuzz target
# for a while on its corpus (30 s each; FUZZ_SECONDS changes it). Installs what
# is missing first, clang and libFuzzer included.
set -euo pipefail
cd "$(dirname "$0")"
here=$PWD
jobs=$(nproc)
seconds=${FUZZ_SECONDS:-30}

# The typeface is the same for every build: fetched once, copied.
FOLMIRA_SETUP_FUZZ=1 scripts/setup build
for dir in build-sanitize build-tsan build-fuzz; do
  mkdir -p "$dir/resources"
  cp -r build/resources/Fonts "$dir/resources/"
done

# Libraries' one-time caches are not leaks of ours; any sanitizer report fails.
export LSAN_OPTIONS="suppressions=$here/fuzz/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# Both builds are for finding faults, not for shipping: a light optimisation and
# line tables (enough for the sanitizers' stack traces) build much faster.
light=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1" "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1")

echo "== The test suite under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-sanitize -G Ninja "${light[@]}" -DFOLMIRA_SANITIZE=ON >/dev/null
cmake --build build-sanitize --target PlatformTests FolmiraKitTests TunequillKitTests LyricadeTests \
  MacMenuBaselineTests FolmiraAppTests read-render-probe quality-report
ctest --test-dir build-sanitize --output-on-failure -j "$jobs"

echo "== The layout's threads under ThreadSanitizer"
cmake -S . -B build-tsan -G Ninja "${light[@]}" -DFOLMIRA_SANITIZE_THREAD=ON >/dev/null
cmake --build build-tsan --target PlatformTests FolmiraKitTests
# Any report fails its test. glib's slice allocator hands memory from thread
# to thread out of ThreadSanitizer's sight: plain malloc instead.
TSAN_OPTIONS="suppressions=$here/fuzz/tsan.supp:second_deadlock_stack=1" G_SLICE=always-malloc \
  ctest --test-dir build-tsan --output-on-failure -j "$jobs" -R '^(ThreadedLayout|LayoutLongTable|TextLayout)\.'

echo "== Fuzzing every target for ${seconds} s"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja "${light[@]}" -DFOLMIRA_FUZZ=ON >/dev/null
cmake --build build-fuzz
export FOLMIRA_RESOURCES="$here/build-fuzz/resources"
fuzz_one() {
  local target=$1 work="build-fuzz/work/$1" log="build-fuzz/work/$1.log"
  mkdir -p "$work"
  # New inputs go to the work folder; the committed corpus is only read.
  # Inputs up to 64 KB, so that cost growing faster than the input shows.
  if build-fuzz/fuzz-"$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
       -artifact_prefix="build-fuzz/work/$target-" "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
    echo "fuzz-$target: $(grep -E '^Done [0-9]+ runs' "$log" | tail -n 1)"
  else
    echo "fuzz-$target: FAILED"
    tail -n 60 "$log"
    return 1
  fi
}
export -f fuzz_one
export seconds
ls fuzz/corpus | xargs -P "$jobs" -I{} bash -c 'fuzz_one "$@"' _ {}
echo "== Sanitizer suites and fuzzing passed"
