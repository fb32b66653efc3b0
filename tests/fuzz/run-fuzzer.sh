#!/usr/bin/env bash
# Runs one fuzz target at the lowest priority for a while, on a work corpus seeded from the kept
# one, and prints the CPU time it used. Needs a build made with clang and BRINDLECAP_FUZZ=ON:
#   CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DBRINDLECAP_FUZZ=ON -DBRINDLECAP_GUI=OFF
#   cmake --build build-fuzz --target NAME_fuzz
#   tests/fuzz/run-fuzzer.sh NAME SECONDS [BUILD]
# Findings land in BUILD/fuzz-work/NAME-crash-*; new inputs in BUILD/fuzz-work/NAME.
# To keep a small corpus: NAME_fuzz -merge=1 NEW_DIR tests/fuzz/corpus/NAME BUILD/fuzz-work/NAME
set -euo pipefail
name=$1
seconds=$2
build=${3:-build-fuzz}
here=$(cd "$(dirname "$0")" && pwd)
work=$build/fuzz-work
mkdir -p "$work/$name"
options=(-max_total_time="$seconds" -artifact_prefix="$work/$name-" -print_final_stats=1)
[ -f "$here/$name.dict" ] && options+=(-dict="$here/$name.dict")
[ -f "$here/$name.options" ] && read -r -a extra < "$here/$name.options" && options+=("${extra[@]}")
exec /usr/bin/time -f "cpu seconds: %U user %S system, wall %e" \
  nice -n 19 "$build/tests-bin/${name}_fuzz" "${options[@]}" "$work/$name" "$here/corpus/$name"
