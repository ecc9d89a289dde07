#!/usr/bin/env bash
# Quillon's one entry point on a Debian 12 machine.
#   ./setup.sh run    install what is missing, build, and run the demo:
#                     vexaload flashing a simulated radio (scripts/demo.sh)
#   ./setup.sh test   install what is missing, build, and run every test:
#                     the normal build, the AddressSanitizer and
#                     UndefinedBehaviorSanitizer build, the ThreadSanitizer
#                     build, and the fuzz targets
set -euo pipefail
cd "$(dirname "$0")"
top=$(pwd)
jobs=$(nproc)

configure_and_build() {   # folder, extra cmake arguments...
  local dir=$1; shift
  cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

passed=0
failed=0
second_runs=""   # per build, the tests that passed only on their second run

# The tests of a ctest log that failed once and then passed: ctest prints a
# result line per run ("Test #12: Name ....***Failed", then "Passed").
passed_on_second_run() {   # ctest log
  sed -nE 's/^[[:space:]]*([0-9]+\/[0-9]+[[:space:]]+)?Test +#[0-9]+: ([^ ]+) .*(\*\*\*[A-Za-z]+|Passed).*/\2 \3/p' "$1" \
    | awk '$2 == "Passed" { ok[$1] = 1 } $2 ~ /^\*\*\*/ { bad[$1] = 1 }
           END { for (name in ok) if (name in bad) print name }' | sort
}

run_suite() {   # folder, extra ctest arguments...
  local dir=$1; shift
  local log="$dir/ctest.log" status=0
  # A test that fails is run once more before it counts as failed: the
  # timing tests of the serial links can miss a deadline on a loaded machine
  # (above all in the ThreadSanitizer build); a real fault fails twice.
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure --no-tests=error --repeat until-pass:2 "$@" 2>&1 \
    | tee "$log" || status=$?
  local summary total bad
  summary=$(grep -Eo '[0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$summary" ]; then
    bad=${summary%% *}
    total=${summary##* }
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  fi
  # Flakiness stays visible: every build names the tests it ran twice.
  local again
  again=$(passed_on_second_run "$log" | paste -sd ' ' -)
  second_runs+="  $dir: ${again:-none}"$'\n'
  return $status
}

run_fuzzers() {   # folder, seconds per target
  local dir=$1 seconds=$2 status=0
  for f in "$dir"/bin/fuzz_*; do
    [ -x "$f" ] || continue
    local name=${f##*/fuzz_}
    local corpus="$dir/fuzz-corpus/$name"
    mkdir -p "$corpus"
    local seeds=()
    [ -d "$top/tests/fuzz/corpus/$name" ] && seeds=("$top/tests/fuzz/corpus/$name")
    echo "fuzz: $name for ${seconds}s"
    if "$f" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
          -print_final_stats=1 "$corpus" "${seeds[@]}" >"$dir/fuzz-$name.log" 2>&1; then
      echo "fuzz: $name ok ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$dir/fuzz-$name.log" | grep -o '[0-9]*$') runs)"
      passed=$((passed + 1))
    else
      echo "fuzz: $name FAILED"; tail -n 60 "$dir/fuzz-$name.log"; status=1
      failed=$((failed + 1))
    fi
  done
  return $status
}

case "${1:-}" in
  run)
    scripts/install-deps.sh
    configure_and_build build/normal
    exec scripts/demo.sh "${@:2}"
    ;;
  test)
    scripts/install-deps.sh
    echo "== normal build"
    configure_and_build build/normal
    run_suite build/normal
    echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
    configure_and_build build/asan -DQUILLON_SANITIZE=ON
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      run_suite build/asan
    echo "== ThreadSanitizer build"
    configure_and_build build/tsan -DQUILLON_TSAN=ON
    # Without the window tests: Qt's own locks are invisible to
    # ThreadSanitizer in a Qt that was not built with it.
    # Nor the fake USB trees: umockdev's preload hands udev events between
    # threads in code it cannot see.
    run_suite build/tsan -LE "qt|umockdev"
    echo "== fuzz targets"
    cmake -S "$top" -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DQUILLON_TESTS=OFF -DQUILLON_FUZZ=ON >/dev/null
    cmake --build build/fuzz -j "$jobs" --target fuzzers
    fuzz_status=0
    run_fuzzers build/fuzz "${QUILLON_FUZZ_SECONDS:-45}" || fuzz_status=$?
    echo "passed only on their second run:"
    printf '%s' "$second_runs"
    echo "all: $passed passed, $failed failed"
    exit $fuzz_status
    ;;
  *)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
