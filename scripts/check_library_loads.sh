#!/usr/bin/env bash
# Fails when a library is loaded by a bare name: Windows would look for it beside the program
# first, and setup.exe and the programs around it run from CDs and download folders, where
# anyone may have left a file of that name. System libraries come from the system folder
# (LoadSystemLibrary in src/platform/win32/system_library.h).
set -euo pipefail
cd "$(dirname "$0")/.."

found=$(grep -rnE --include='*.h' --include='*.cpp' --include='*.c' \
  'LoadLibrary(Ex)?[AW]?[[:space:]]*\([[:space:]]*L?"[^"\\]*"' src tools || true)
if [ -n "$found" ]; then
  echo "library loaded by a bare name:"
  echo "$found"
  exit 1
fi
echo "library loads: none by a bare name"
