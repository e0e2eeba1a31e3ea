#!/usr/bin/env bash
# Long fuzzing runs, outside the test command: the INI reader, then the
# decoding of the driver's event record, one after the other, natively with
# clang's libFuzzer under AddressSanitizer and UBSan.
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET [TARGET...]]
#
# SECONDS_PER_TARGET defaults to 600; TARGET is ini_reader_fuzz or
# driver_record_fuzz (default both).
#
# FUZZ_DIR chooses the build directory (default build/fuzz-long). Each target
# keeps its growing corpus in FUZZ_DIR/corpus-NAME, seeded from the committed
# seeds, and its log in FUZZ_DIR/NAME.log; a crash leaves its input as
# FUZZ_DIR/NAME-crash-* and makes the script fail. Replay one with
#   FUZZ_DIR/NAME FUZZ_DIR/NAME-crash-...
# Afterwards each corpus is run once through a coverage build
# (FUZZ_DIR-coverage) and the line and branch coverage of the product source
# under test is printed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-600}
shift || true
targets=${*:-ini_reader_fuzz driver_record_fuzz}
dir=${FUZZ_DIR:-build/fuzz-long}

cmake -S tests/fuzz -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$dir" -j2

status=0
run() {
    local name=$1 seeds=$2
    mkdir -p "$dir/corpus-$name"
    echo "== $name: $seconds s"
    if "$dir/$name" "$dir/corpus-$name" "$seeds" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$dir/$name-" >"$dir/$name.log" 2>&1; then
        grep -E '^#[0-9]+[[:space:]]+DONE' "$dir/$name.log" | tail -1 || true
        grep -E 'stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$dir/$name.log" || true
    else
        tail -40 "$dir/$name.log"
        status=1
    fi
}
# What a corpus reaches of the product source the target exercises.
coverage() {
    local name=$1 source=$2 cov=$dir-coverage
    rm -f "$cov/$name".profraw
    LLVM_PROFILE_FILE="$cov/$name.profraw" "$cov/$name" -runs=0 "$dir/corpus-$name" >/dev/null 2>&1
    llvm-profdata merge -sparse "$cov/$name.profraw" -o "$cov/$name.profdata"
    echo "== $name: coverage of $source by its corpus ($(ls "$dir/corpus-$name" | wc -l) inputs)"
    # Per function: a target may exercise one function of its file only.
    llvm-cov report "$cov/$name" -instr-profile="$cov/$name.profdata" -show-functions $source |
        grep -E "^(Name|TOTAL|$3)"
}

seeds_ini_reader_fuzz=tests/fuzz/corpus
seeds_driver_record_fuzz=tests/fuzz/driver_corpus
source_ini_reader_fuzz="platform/ini/IniText.cpp platform/ini/TextEncoding.cpp"
source_driver_record_fuzz=device/unitOVDrv.cpp
functions_ini_reader_fuzz=TOTAL
functions_driver_record_fuzz=_ZN9unitOVDrv15ReadDriverEvent
for name in $targets; do
    seeds=seeds_$name
    [ -n "${!seeds:-}" ] || { echo "unknown target $name" >&2; exit 2; }
    run "$name" "${!seeds}"
done

cmake -S tests/fuzz -B "$dir-coverage" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DFUZZ_COVERAGE=ON >/dev/null
cmake --build "$dir-coverage" -j2 >/dev/null
for name in $targets; do
    source=source_$name functions=functions_$name
    coverage "$name" "${!source}" "${!functions}"
done
exit $status
