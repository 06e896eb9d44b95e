#!/usr/bin/env bash
# Runs the end-to-end tests on a private X server (Xvfb).
# Usage: run_e2e.sh NATIVE_BUILD [WINDOWS_BUILD [EARLIER_BUILD]]
# The Windows part runs when the second folder holds the program and the test
# driver; Wine must then already be up (see scripts/test). The earlier build's
# part runs when a third folder is named (an empty second one skips Windows).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
native=$(readlink -e "${1:?usage: run_e2e.sh NATIVE_BUILD [WINDOWS_BUILD [EARLIER_BUILD]]}") || { echo "missing $1"; exit 1; }
windows=${2:-}
earlier=${3:-}
check="$native/tests/e2e/zelmora_e2e_check"

# The first free display from :90 on.
display=90
while [[ -e /tmp/.X$display-lock || -e /tmp/.X11-unix/X$display ]]; do display=$((display + 1)); done
# -noreset: without it the server resets whenever its last client leaves, and a
# program started in that moment finds no display.
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null' EXIT
export DISPLAY=":$display"
deadline=$((SECONDS + 10))
until xdotool getdisplaygeometry >/dev/null 2>&1; do
  [[ $SECONDS -ge $deadline ]] && { echo "Xvfb did not start"; exit 1; }
  sleep 0.05
done

status=0
run() {  # run SCRIPT ARGUMENTS...
  local start=$SECONDS
  local name; name=$(basename "$1" .sh)
  if "$@"; then echo "--- $name: ok ($((SECONDS - start)) s)"; else echo "--- $name: FAILED"; status=1; fi
}
run "$here/sdl_e2e.sh" "$native/src/platform/zelmora" "$check"
run "$here/mouse_e2e.sh" "$native/src/platform/zelmora" "$check" "$native/tools/zelmora-render"
run "$here/faults_e2e.sh" "$native/src/platform/zelmora" "$check" "$native/tools/zelmora-render"
run "$here/history_e2e.sh" "$native/src/platform/zelmora" "$check" "$native/tools/zelmora-render"
run "$here/editing_e2e.sh" "$native/src/platform/zelmora" "$check" "$native/tools/zelmora-render"
run "$here/pages_e2e.sh" "$native/src/platform/zelmora" "$check" "$native/tools/zelmora-render"
if [[ -x $native/tests/drivers/zelmora_jack_midi_send ]]; then
  run "$here/jack_e2e.sh" "$native/src/platform/zelmora" "$check" "$native/tests/drivers/zelmora_jack_midi_send"
fi
if [[ -n $windows ]]; then
  run "$here/wine_e2e.sh" "$windows/src/platform/zelmora.exe" "$windows/tests/drivers/zelmora_test_asio.dll" "$check"
fi
if [[ -n $earlier ]]; then
  run "$here/sdl_earlier_e2e.sh" "$earlier/src/platform/zelmora" "$earlier/tests/e2e/zelmora_e2e_check"
fi
exit $status
