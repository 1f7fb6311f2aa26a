#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer into build-fuzz/ and runs each for a set time.
#   scripts/fuzz.sh [seconds per target, default 600] [target name ...]
# New inputs go to build-fuzz/corpus/<name>/; a finding is written as build-fuzz/crash-*.
# Copy a finding into fuzz/corpus/<name>/ once it is fixed, so CTest replays it from then on.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
seconds=${1:-600}
shift || true
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKPS_FUZZ=ON \
    >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for f in fuzz/fuzz_*.cpp; do
        n=$(basename "$f" .cpp)
        targets+=("${n#fuzz_}")
    done
fi
for t in "${targets[@]}"; do
    cmake --build build-fuzz -j"$(nproc)" --target "fuzz_$t"
done
cd build-fuzz
for t in "${targets[@]}"; do
    mkdir -p "corpus/$t"
    extra=()
    [ -f "../fuzz/$t.options" ] && read -r -a extra <"../fuzz/$t.options"
    echo "== fuzz_$t for ${seconds}s ${extra[*]}"
    ./"fuzz/fuzz_$t" "corpus/$t" "../fuzz/corpus/$t" -max_total_time="$seconds" \
        -print_final_stats=1 "${extra[@]}" 2>&1 | tail -n 20
done
