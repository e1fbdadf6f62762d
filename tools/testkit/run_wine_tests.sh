#!/usr/bin/env bash
# Runs a check program (toolcheck.exe by default) under Wine, in a prefix, home and X
# display of its own that are thrown away afterwards. The program is given the folder.
#   run_wine_tests.sh <folder holding the program and the tools> [program.exe]
# ZOV_TEST_DISPLAY=:N uses a running X server instead of starting Xvfb.
set -u
program=${2:-toolcheck.exe}
if [ $# -lt 1 ] || [ ! -f "$1/$program" ]; then
    echo "usage: $0 <folder holding the program> [program.exe]" >&2
    exit 2
fi
bin=$(cd "$1" && pwd)
work=$(mktemp -d /tmp/zov-toolcheck.XXXXXX)

export WINEPREFIX="$work/prefix"
export HOME="$work/home"
export XDG_DATA_HOME="$HOME/.local/share"
export XDG_CONFIG_HOME="$HOME/.config"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"

xvfb_pid=
display=${ZOV_TEST_DISPLAY:-}
if [ -z "$display" ]; then
    # Xvfb picks a free display itself and writes its number to the descriptor it is given,
    # so that runs side by side never race for one.
    mkfifo "$work/display.fifo"
    exec {display_fd}<>"$work/display.fifo"
    Xvfb -displayfd "$display_fd" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    number=
    read -r -t 30 -u "$display_fd" number
    exec {display_fd}>&-
    display=":$number"
fi
export DISPLAY="$display"

cleanup() {
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT

wineboot -i >"$work/wineboot.log" 2>&1
# Wine's own helpers inherit the output handles: a file, never a pipe we wait on.
wine "$bin/$program" "Z:$(printf '%s' "$bin" | tr / '\\')" >"$work/toolcheck.out" 2>"$work/toolcheck.err"
status=$?
cat "$work/toolcheck.out"
if [ $status -ne 0 ]; then
    echo "$program exited with $status" >&2
    grep -v -e 'wine32 is missing' -e 'multiarch needs' -e 'dpkg --add-architecture' -e 'apt-get install wine32' \
        "$work/toolcheck.err" >&2
fi
exit $status
