#!/usr/bin/env bash
# Builds the release CD image (the win64-release preset: what a distributor ships) and runs a
# silent install of it under Wine in a fresh prefix (build/demo/), with the Trace Monitor
# capturing the trace. Prints the exit code, the installed files, the install history record
# and the trace. Safe to re-run.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

scripts/deps.sh

echo "== building the win64-release preset (the CD image and the Trace Monitor)"
cmake --preset win64-release >/dev/null
cmake --build --preset win64-release -j"${ZOV_JOBS:-2}" >/dev/null

bin=$repo/build/win64-release/bin
cd_image=$repo/build/win64-release/cd
demo=$repo/build/demo
win() { printf 'Z:%s' "$1" | tr / '\\'; }

# A previous run may have left its server up if it was interrupted.
if [ -d "$demo/prefix" ]; then
  WINEPREFIX=$demo/prefix wineserver -k >/dev/null 2>&1 || true
fi
rm -rf "$demo"
mkdir -p "$demo/home/.local/share/Trash/files" "$demo/home/.local/share/Trash/info" "$demo/home/.config"

export WINEPREFIX=$demo/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
export HOME=$demo/home XDG_DATA_HOME=$demo/home/.local/share XDG_CONFIG_HOME=$demo/home/.config
unset DISPLAY

xvfb_pid=
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT

echo "== making a fresh Wine prefix in $WINEPREFIX"
wineboot -i >"$demo/wineboot.log" 2>&1
wineserver -w
user_dir=$(find "$WINEPREFIX/drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -n1)
# The desktop must be a folder of the prefix, not a link into $HOME.
if [ -L "$user_dir/Desktop" ]; then
  rm "$user_dir/Desktop" && mkdir "$user_dir/Desktop"
fi
cp -r "$cd_image" "$WINEPREFIX/drive_c/cd"

# Xvfb chooses a free display and writes its number to the descriptor we hand it.
mkfifo "$demo/display.fifo"
exec {display_fd}<>"$demo/display.fifo"
Xvfb -displayfd "$display_fd" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 30 -u "$display_fd" display_number
exec {display_fd}>&-
export DISPLAY=:$display_number
echo "== Xvfb on $DISPLAY"

wine "$bin/tracemon.exe" -o "$(win "$demo/trace.txt")" >"$demo/tracemon.log" 2>&1 &
tracemon_pid=$!
wine "$bin/e2e/wmsend.exe" -title "Trace Monitor" -wait 20000 -out "$(win "$demo/wmsend.txt")" >/dev/null 2>&1 ||
  echo "(no Trace Monitor window: the trace will be empty)"

echo "== running: \"C:\\cd\\setup.exe\" /s"
started=$(date +%s%N)
ZOVRUN_CMDLINE='"C:\cd\setup.exe" /s' ZOVRUN_CWD='C:\cd' ZOVRUN_TIMEOUT=300000 \
  ZOVRUN_EXITFILE="$(win "$demo/exit.txt")" wine "$bin/e2e/winrun.exe" >"$demo/winrun.log" 2>&1 || true
ended=$(date +%s%N)

wine "$bin/e2e/wmsend.exe" -title "Trace Monitor" -post -out "$(win "$demo/wmsend.txt")" 16 0 0 >/dev/null 2>&1 || true
wait "$tracemon_pid" 2>/dev/null || true

echo
elapsed_ms=$(((ended - started) / 1000000))
printf 'exit code: %s  (%d.%03d s)\n' "$(cat "$demo/exit.txt" 2>/dev/null || echo 'none: see build/demo/winrun.log')" \
  $((elapsed_ms / 1000)) $((elapsed_ms % 1000))
echo
echo "installed files:"
found=0
for dir in "$WINEPREFIX/drive_c/Program Files"/ZOV*; do
  [ -d "$dir" ] || continue
  found=1
  (cd "$dir" && find . -type f -printf "  C:\\\\Program Files\\\\${dir##*/}\\\\%P  %s bytes\n" | tr / '\\')
done
[ "$found" = 1 ] || echo "  (none)"
echo
echo "install history (C:\\IPH.PH):"
if [ -f "$WINEPREFIX/drive_c/IPH.PH" ]; then tr -d '\r' <"$WINEPREFIX/drive_c/IPH.PH" | sed 's/^/  /'; else echo "  (none)"; fi
echo
echo "trace:"
if [ -s "$demo/trace.txt" ]; then tr -d '\r' <"$demo/trace.txt" | sed 's/^/  /'; else echo "  (empty)"; fi
