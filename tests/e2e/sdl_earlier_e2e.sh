#!/usr/bin/env bash
# The earlier SDL build end to end: start with a 16-byte settings file that
# selects the recording driver, see the welcome line, open a module named the
# Amiga way from the browser, play it with the transport button, see the
# processor and voice status, stop and close; then check that the recording
# is not silent and that the settings file kept its 16 bytes.
# Usage: sdl_earlier_e2e.sh ZELMORA CHECK   (DISPLAY names a running X server)
set -uo pipefail
zelmora=$(readlink -e "${1:?usage: sdl_earlier_e2e.sh ZELMORA CHECK}") || { echo "missing $1"; exit 1; }
CHECK=$(readlink -e "${2:?usage: sdl_earlier_e2e.sh ZELMORA CHECK}") || { echo "missing $2"; exit 1; }
source "$(dirname "$0")/lib.sh"

new_workspace
"$CHECK" module "$work/songs/mod.tune" || exit 1
write_short_settings 0 "$work/config/zelmora/zelmora.set"
recording="$work/songs/zelmora-recording.wav"

# The user's part: the module is the first entry of the browser's list.
user_plays() {
  wait_for 10 shows "Welcome To Zelmora" || { fail "no welcome line"; return 1; }
  xdotool mousemove 560 42 click --repeat 2 --delay 60 1
  wait_for 10 shows "Protracker Module Loaded (1 Orders, 1 Patterns)" || { fail "the module did not open"; return 1; }
  local before; before=$(file_size "$recording")
  xdotool mousemove 130 215 click 1  # play song
  # 1.2 s of 32-bit stereo at 44100 Hz.
  wait_for 20 larger_than "$recording" $((before + 423360)) || { fail "the recording does not grow"; return 1; }
  wait_for 10 shows "Cpu " "   Voices 001/128" || { fail "no play status"; return 1; }
  xdotool mousemove 130 245 click 1  # stop
  xdotool key alt+F4
}

run_session user_plays
[[ $status -eq 0 ]] && { "$CHECK" sound "$recording" || status=1; }
size=$(file_size "$work/config/zelmora/zelmora.set")
[[ $size -eq 16 ]] || { fail "settings file of $size bytes"; status=1; }
[[ $status -eq 0 ]] || { echo "--- program output"; cat "$work/log"; }
exit $status
