#!/usr/bin/env bash
# Builds and tests everything: the portable core natively (with sanitizers), setup.exe and
# the tools for x86_64 Windows with the end-to-end tests under Wine, and the i686 build (it
# must compile). Stops at the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs="${ZOV_JOBS:-2}"
log_dir=build/logs
mkdir -p "$log_dir"

step() { printf '\n== %s\n' "$*"; }

# Runs ctest for a preset, two tests at a time (every Wine test has its own prefix and X
# display), keeps its full output in a log and prints its summary lines.
run_ctest() {
  local preset=$1 log="$log_dir/ctest-$1.log" status=0
  ctest --preset "$preset" --output-on-failure -j"$jobs" >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    cat "$log"
  else
    grep -E '^(100% tests passed|[0-9]+% tests passed|Total Test time|The following tests|[[:space:]]+[0-9]+ - )' "$log" || true
  fi
  return "$status"
}

step "dependencies"
scripts/deps.sh

step "native: configure, build, test"
cmake --preset native >"$log_dir/configure-native.log" || { cat "$log_dir/configure-native.log"; exit 1; }
cmake --build --preset native -j"$jobs"
run_ctest native

step "win64: configure, build, end-to-end tests under Wine"
cmake --preset win64 >"$log_dir/configure-win64.log" || { cat "$log_dir/configure-win64.log"; exit 1; }
cmake --build --preset win64 -j"$jobs"
run_ctest win64

step "win64-release: the CD image a distributor ships"
cmake --preset win64-release >"$log_dir/configure-win64-release.log" || { cat "$log_dir/configure-win64-release.log"; exit 1; }
cmake --build --preset win64-release -j"$jobs"
run_ctest win64-release

step "win32: configure, build"
cmake --preset win32 >"$log_dir/configure-win32.log" || { cat "$log_dir/configure-win32.log"; exit 1; }
cmake --build --preset win32 -j"$jobs"
# Wine here runs 64-bit programs only: the i686 tree checks its export and import tables.
ctest --preset win32 -R "setup_registry_exports|cd_import_tables" --output-on-failure

step "all passed"
