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
    for n in $(seq 57 99); do
        if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
            display=":$n"
            break
        fi
    done
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X${display#:}" ] && break
        sleep 0.1
    done
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
