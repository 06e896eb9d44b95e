#!/usr/bin/env bash
# Making an instrument from the pages: open a tone, switch its loop off and on
# again on the Sample page and drag the loop's start, drag the volume and the
# cutoff on the Instrument page, type a note and save. The saved instrument
# must hold the new values, and a render of the song must still sound after
# the one-second tone has played through once: the loop holds the note.
# Usage: pages_e2e.sh ZELMORA CHECK RENDER   (DISPLAY names a running X server)
set -uo pipefail
source "$(dirname "$0")/lib.sh"
programs pages_e2e.sh "$@"

new_workspace
write_short_settings 0 "$work/config/zelmora/zelmora.set"
"$CHECK" tone "$work/songs/tone.wav" || exit 1
recording="$work/songs/zelmora-recording.wav"
click() { xdotool mousemove "$1" "$2" click 1; sleep 0.1; }
drag() { xdotool mousemove "$1" "$2" mousedown 1 mousemove "$1" $(($2 + $3 / 2)) mousemove "$1" $(($2 + $3)) mouseup 1; sleep 0.1; }

user_shapes() {
  xdotool mousemove 560 42 click --repeat 2 --delay 60 1  # the tone into instrument 01
  expect_on_screen "PCM Wave Loaded" || return 1
  click 440 88                                 # the Sample page
  click 730 240; click 730 240; click 730 240  # from forward to ping-pong, off, forward again
  xdotool mousemove 505 60 mousedown 1 mousemove 560 60 mousemove 605 60 mouseup 1  # its start to frame 8700 (87 a column)
  expect_on_screen "Loop Start 8700, Length 35400." || return 1
  click 440 56                                 # the Instrument page
  drag 565 24 20                               # volume 64 down to 44
  drag 565 72 -24                              # cutoff 128 up to 152: 880.0 Hz
  expect_on_screen "880.0 Hz" || return 1
  click 440 40
  xdotool key space z
  click 800 262
  wait_for 10 test -f "$work/songs/Untitled.zmo" || { fail "nothing saved"; return 1; }
  xdotool key alt+F4
}

run_session user_shapes

if [[ $status -eq 0 ]]; then
  info=$("$render" --info "$work/songs/Untitled.zmo" 2>/dev/null | tail -n 1)
  for want in '"volume": 44' '"cutoff": 152' '"loop_start": 8700' '"loop_length": 35400' '"loop_mode": 1'; do
    [[ $info == *"$want"* ]] || { fail "the saved instrument lacks $want"; status=1; }
  done
  # Three seconds of the song: the last tenth still sounds, two seconds after
  # the tone's own end, only because the note loops.
  "$render" --seconds 3 "$work/songs/Untitled.zmo" "$work/render.wav" >/dev/null 2>&1 || { fail "render"; status=1; }
  tail_bytes=$(tail -c 52920 "$work/render.wav" | tr -d '\0' | wc -c)
  [[ $tail_bytes -gt 1000 ]] || { fail "the note does not loop (${tail_bytes} bytes of sound at the end)"; status=1; }
fi
[[ $status -eq 0 ]] && echo "pages: a looped, shaped instrument saved and heard looping"
[[ $status -eq 0 ]] || { echo "--- program output"; cat "$work/log"; }
exit $status
