#!/usr/bin/env bash
# Everyday editing under the keyboard and the mouse: click a cell and type a
# note there, select three rows with Shift+Down, copy, move, paste, save, and
# export with Ctrl+E; the export must equal zelmora-render of the saved song.
# Usage: editing_e2e.sh ZELMORA CHECK RENDER   (DISPLAY names a running X server)
set -uo pipefail
source "$(dirname "$0")/lib.sh"
programs editing_e2e.sh "$@"

new_workspace
write_short_settings 0 "$work/config/zelmora/zelmora.set"
recording="$work/songs/zelmora-recording.wav"
cell() { grep -q "\[$2, $3, $4, " <<<"$1"; }  # cell INFO ROW TRACK NOTE

user_edits() {
  # The cursor row's line at 1024 x 768 is 486; track 1's note column begins at x 180.
  xdotool key space
  xdotool mousemove 185 514 click 1  # row 2 of track 1
  xdotool key z
  xdotool key Up shift+Down shift+Down ctrl+c
  expect_on_screen "Copied 3 Rows x 1 Track." || return 1
  xdotool key Down Down Down Down ctrl+v  # the block from row 2 lands on row 8
  expect_on_screen "Pasted." || return 1
  xdotool mousemove 800 262 click 1
  wait_for 10 test -f "$work/songs/Untitled.zmo" || { fail "nothing saved"; return 1; }
  xdotool key ctrl+e
  expect_on_screen "Exported Untitled.wav." || return 1
  xdotool key alt+F4
}

run_session user_edits

if [[ $status -eq 0 ]]; then
  info=$("$render" --info "$work/songs/Untitled.zmo" 2>/dev/null | tail -n 1)
  { cell "$info" 2 1 49 && cell "$info" 8 1 49; } || { fail "the notes: $info"; status=1; }
  "$render" "$work/songs/Untitled.zmo" "$work/render.wav" >/dev/null 2>&1 || { fail "zelmora-render"; status=1; }
  cmp -s "$work/render.wav" "$work/songs/Untitled.wav" || { fail "the export differs from zelmora-render"; status=1; }
fi
[[ $status -eq 0 ]] && echo "editing: a clicked cell, a pasted block and an export equal to the renderer's"
[[ $status -eq 0 ]] || { echo "--- program output"; cat "$work/log"; }
exit $status
