#!/usr/bin/env bash
# Builds the libFuzzer targets with clang++ in build/fuzz and runs each, one
# after the other, for the given seconds on a fresh copy of its seed corpus
# (fuzz/korpus/<target>/). Inputs found on the way, the logs and any findings
# stay in build/fuzz/lauf/<target>/. Fails when any target finds something.
# Usage: scripts/fuzz.sh [seconds per target, default 60] [target...]
# TW_FUZZ_LAEUFE=<n> also ends each target after n executions.
set -euo pipefail
cd "$(dirname "$0")/.."

sekunden=${1:-60}
[ $# -gt 0 ] && shift
baum=build/fuzz
starter=()
command -v ccache >/dev/null && starter=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$baum" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DTW_FUZZ=ON -DTW_TESTS=OFF "${starter[@]}" >/dev/null
cmake --build "$baum" --target fuzz_ziele >"$baum/bau.log" || { cat "$baum/bau.log"; exit 1; }

# Longest input per target: a little above what the real files and answers hold.
laenge() {
  case "$1" in
    zustandsdateien | anforderung) echo 512 ;;
    url) echo 1024 ;;
    *) echo 4096 ;;
  esac
}

ziele=("$@")
if [ ${#ziele[@]} -eq 0 ]; then
  for quelle in fuzz/*_fuzz.cpp; do ziele+=("$(basename "$quelle" _fuzz.cpp)"); done
fi

export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=detect_leaks=1
befunde=0
wert() { sed -n "s/^stat::$1: *//p" "$lauf/log" | tail -1; }
printf '%-16s %12s %9s %14s %8s  %s\n' Ziel Ausfuehrungen "Ausf./s" Abdeckung "neu" Befunde
for ziel in "${ziele[@]}"; do
  lauf="$baum/lauf/$ziel"
  rm -rf "$lauf"
  mkdir -p "$lauf/korpus" "$lauf/funde"
  cp fuzz/korpus/"$ziel"/* "$lauf/korpus/"
  woerter=()
  [ -f fuzz/korpus/"$ziel".dict ] && woerter=(-dict=fuzz/korpus/"$ziel".dict)
  "$baum/fuzz/${ziel}_fuzz" "$lauf/korpus" "${woerter[@]}" -max_total_time="$sekunden" \
    -runs="${TW_FUZZ_LAEUFE:--1}" -max_len="$(laenge "$ziel")" -rss_limit_mb=2048 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$lauf/funde/" >"$lauf/log" 2>&1 || true
  anfang=$(sed -n 's/.*INITED cov: \([0-9]*\).*/\1/p' "$lauf/log" | head -1)
  ende=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' "$lauf/log" | tail -1)
  funde=$(find "$lauf/funde" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
    -o -name 'oom-*' \) -printf '%f ')
  # A run that never got going (no stats) counts as a finding too.
  [ -z "$(wert number_of_executed_units)" ] && funde+="(abgebrochen, siehe $lauf/log)"
  [ -n "$funde" ] && befunde=$((befunde + 1))
  printf '%-16s %12s %9s %14s %8s  %s\n' "$ziel" "$(wert number_of_executed_units)" \
    "$(wert average_exec_per_sec)" "${anfang:-?} -> ${ende:-?}" "$(wert new_units_added)" "${funde:-keine}"
done
[ "$befunde" -eq 0 ] || { echo "Befunde in $befunde Ziel(en); Eingaben und Logs unter $baum/lauf/" >&2; exit 1; }
