#!/usr/bin/env bash
# Runs one fuzz target at the lowest priority for a while, on a work corpus seeded from the kept
# one, and prints the CPU time it used. Needs a build made with clang and BRINDLECAP_FUZZ=ON:
#   CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DBRINDLECAP_FUZZ=ON -DBRINDLECAP_GUI=OFF
#   cmake --build build-fuzz --target NAME_fuzz
#   tests/fuzz/run-fuzzer.sh NAME SECONDS [BUILD]
# command_reading and server_session run in their own network namespace with WORKERS (32)
# workers in fork mode.
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
run=(nice -n 19 "$build/tests-bin/${name}_fuzz")
if [ "$name" = command_reading ] || [ "$name" = server_session ]; then
  # A whole proxy session per input, mostly spent waiting on its peers: many workers keep the
  # processor busy. It runs in a network namespace of its own, with nothing but loopback.
  options+=(-fork="${WORKERS:-32}")
  run=(unshare -rn sh -c 'ip link set lo up && exec "$@"' sh "${run[@]}")
fi
exec /usr/bin/time -f "cpu seconds: %U user %S system, wall %e" \
  "${run[@]}" "${options[@]}" "$work/$name" "$here/corpus/$name"
