#!/usr/bin/env bash
# Runs every fuzz target for a while, one after the other, niced, and prints per target the
# inputs run, inputs per second, coverage and features, and any crash with its reproducer.
#
#   scripts/fuzz.sh [minutes per target, default 5] [most inputs per target]
#   ZOV_FUZZ_TARGETS="pipe cookies" scripts/fuzz.sh 1     # some targets only
#   ZOV_FUZZ_BIN=/tmp/copy scripts/fuzz.sh 60 10000000    # copies of the targets (and seeds)
#   ZOV_FUZZ_FLAGS=-max_len=1024 scripts/fuzz.sh 30       # more libFuzzer flags for each run
#
# The targets come from the native build (cmake --preset native && cmake --build --preset
# native). Each keeps a corpus in build/fuzz-corpus/<target> that grows from run to run
# (seeded from the build's seed folder); a crash leaves its input in build/fuzz-crashes,
# and the line to reproduce it is printed. Exits non-zero when any target crashed.
set -uo pipefail
cd "$(dirname "$0")/.."

minutes="${1:-5}"
runs="${2:-}"
bin="${ZOV_FUZZ_BIN:-build/native/fuzz}"
corpus_root=build/fuzz-corpus
crash_root=build/fuzz-crashes
log_root=build/logs/fuzz
mkdir -p "$corpus_root" "$crash_root" "$log_root"

if [ -n "${ZOV_FUZZ_TARGETS:-}" ]; then
  targets=($ZOV_FUZZ_TARGETS)
else
  targets=()
  for f in "$bin"/*; do
    [ -f "$f" ] && [ -x "$f" ] && targets+=("$(basename "$f")")
  done
fi
[ "${#targets[@]}" -gt 0 ] || { echo "no fuzz targets in $bin: build the native preset first" >&2; exit 2; }

seeds_of() {
  case "$1" in
    client_db_client_info|client_db_candidate_info|client_db_record_index) echo "$bin/client_db.seeds" ;;
    registry_file) echo "$bin/registry_file.seeds" ;;
    *) echo "$bin/$1.seeds" ;;
  esac
}

seconds=$(awk -v m="$minutes" 'BEGIN { printf "%d", m * 60 }')
failed=0
printf '%-26s %12s %8s %10s %8s %8s  %s\n' target inputs seconds inputs/s cov ft result
for t in "${targets[@]}"; do
  corpus="$corpus_root/$t"
  crashes="$crash_root/$t"
  log="$log_root/$t.log"
  mkdir -p "$corpus" "$crashes"
  seeds=$(seeds_of "$t")
  extra=()
  [ -n "$runs" ] && extra+=(-runs="$runs")
  extra+=(${ZOV_FUZZ_FLAGS:-})
  start=$(date +%s.%N)
  nice -n 15 "$bin/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$crashes/" "${extra[@]}" "$corpus" $( [ -d "$seeds" ] && echo "$seeds" ) >"$log" 2>&1
  status=$?
  end=$(date +%s.%N)
  inputs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | tail -1 | awk '{print $2}')
  last=$(grep -E '^#[0-9]+' "$log" | tail -1)
  cov=$(sed -n 's/.*cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.*ft: \([0-9]*\).*/\1/p' <<<"$last")
  elapsed=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.0f", b - a }')
  rate=$(awk -v n="${inputs:-0}" -v s="$elapsed" 'BEGIN { printf "%.0f", (s > 0 ? n / s : 0) }')
  result=clean
  if [ "$status" -ne 0 ]; then
    failed=1
    artifact=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -1)
    result="CRASH (exit $status): ${artifact:-see $log}"
  fi
  printf '%-26s %12s %8s %10s %8s %8s  %s\n' "$t" "${inputs:-?}" "$elapsed" "$rate" "${cov:-?}" "${ft:-?}" "$result"
  if [ "$status" -ne 0 ]; then
    grep -E '^==[0-9]+==|^SUMMARY|runtime error|deadly signal' "$log" | head -5 | sed 's/^/    /'
    [ -n "${artifact:-}" ] && echo "    reproduce: $bin/$t $artifact"
  fi
done
exit "$failed"
