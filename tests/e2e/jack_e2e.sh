#!/usr/bin/env bash
# The SDL build on a JACK server (dummy backend, started here under a name of
# its own): Zelmora joins it through the JACK driver, listed first, with its
# outputs connected to the system's playback ports; a MIDI keyboard (a JACK
# client) plays C-4 E-4 G-4 C-5 into the virtual input "Zelmora" in edit
# mode, and the pattern shows them; then the server stops, and Zelmora says so
# and runs on until the user closes it. Skipped where jackd is not installed.
# Usage: jack_e2e.sh ZELMORA CHECK MIDI_SEND   (DISPLAY names a running X server)
set -uo pipefail
usage="usage: jack_e2e.sh ZELMORA CHECK MIDI_SEND"
zelmora=$(readlink -e "${1:?$usage}") || { echo "missing $1"; exit 1; }
CHECK=$(readlink -e "${2:?$usage}") || { echo "missing $2"; exit 1; }
send=$(readlink -e "${3:?$usage}") || { echo "missing $3"; exit 1; }
source "$(dirname "$0")/lib.sh"
command -v jackd >/dev/null || { echo "no jackd: skipped"; exit 0; }

new_workspace
export JACK_DEFAULT_SERVER="zelmora-e2e-$$" JACK_NO_START_SERVER=1
jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
jackd=$!
# The server goes with the test, however it ends.
trap '[[ -n $pid ]] && kill "$pid" 2>/dev/null; kill "$jackd" 2>/dev/null; wait "$jackd" 2>/dev/null; rm -rf "$work"' EXIT
wait_for 10 jack_lsp || { fail "jackd did not start"; cat "$work/jackd.log"; exit 1; }
# Driver 0: JACK comes before the recording driver.
write_short_settings 0 "$work/config/zelmora/zelmora.set"

# The edit-mode light of track 0's header glows red (its left edge, at 153, 313).
edit_mode_on() {
  import -window root "$work/mode.png" || return 1
  local rg; rg=$(/usr/bin/convert "$work/mode.png" -format '%[fx:int(255*p{153,313}.r)] %[fx:int(255*p{153,313}.g)]' info:) || return 1
  (( ${rg% *} > 200 && ${rg#* } < 120 ))
}

connected() { jack_lsp -c | grep -A1 '^Zelmora:Out 1$' | grep -q 'system:playback_1'; }

user_plays_midi() {
  wait_for 10 connected || { fail "Zelmora's outputs are not on the system's playback"; return 1; }
  xdotool key space  # edit mode, seen on the screen before the keyboard plays
  wait_for 10 edit_mode_on || { fail "edit mode did not come on"; return 1; }
  "$send" ':Zelmora$' 48 52 55 60 || { fail "the MIDI notes were not sent"; return 1; }
  wait_for 10 shot_has_notes "$work/shot.ppm" || { "$CHECK" screen "$work/shot.ppm"; fail "screen"; return 1; }
  kill "$jackd"; wait "$jackd" 2>/dev/null
  expect_on_screen "JACK Server Stopped" || return 1
  kill -0 "$pid" 2>/dev/null || { fail "Zelmora ended with the server"; return 1; }
  xdotool key alt+F4
}

(cd "$work/songs" && XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" SDL_AUDIODRIVER=none exec "$zelmora") >"$work/log" 2>&1 &
pid=$!
status=0
if ! wait_for 30 window_shown; then
  fail "no window"; status=1
elif ! user_plays_midi; then
  status=1
fi
window_closes 10
[[ $status -eq 0 ]] || { echo "--- program output"; cat "$work/log"; }
exit $status
