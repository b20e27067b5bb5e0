#!/bin/sh
# make demo: the monitor against the virtual UPS on USB, on the user's screen or on a virtual one.
# usage: demo.sh BUILD_DIR
set -eu
build=${1:?usage: demo.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
tool="$build/tools/virtual-ups/virtual-ups"
shots=""
xvfb_pid=""

cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    # no screen: a virtual one, with screenshots every few seconds to look at afterwards
    n=140
    while [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -nolisten tcp -screen 0 1024x768x24 >/dev/null 2>&1 &
    xvfb_pid=$!
    i=0
    while [ ! -e "/tmp/.X11-unix/X$n" ] && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
    export DISPLAY=":$n"
    shots="$build/demo-screens"
    rm -rf "$shots" && mkdir -p "$shots"
    echo "demo: no DISPLAY: running on a virtual screen (Xvfb $DISPLAY); screenshots go to $shots"
fi

if [ -n "$shots" ] && command -v import >/dev/null; then
    (
        k=0
        while kill -0 "$xvfb_pid" 2>/dev/null && [ $k -lt 40 ]; do
            sleep 3
            import -display "$DISPLAY" -window root "$shots/$(printf %02d $k).png" 2>/dev/null || true
            k=$((k + 1))
        done
    ) &
fi

# English texts for the demo (the alert texts are settings of their own);
# automatic shutdown after 20 s of low battery, the warning re-shown every 10 s
"$tool" --usb --language English --shutdown-after 20s --set iWarnTimer=10 \
    --set "sACOff=Mains power failed: the UPS runs on its battery" \
    --set "sACOn=Mains power is back" \
    --set "sBatDown=UPS battery low" --set "sBatUp=UPS battery back to normal" \
    --scenario "$here/demo.scenario"
