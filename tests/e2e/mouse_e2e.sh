#!/usr/bin/env bash
# The SDL build under the mouse alone: in a folder holding a few modules, open
# one from the browser, play it with the transport button, hold the tempo arrow
# for a second, drag an equaliser fader on the Master page, rename the song in
# its field and save with the button; the saved file must load back with the
# name and the raised tempo. Skipped when the corpus of modules is absent.
# Usage: mouse_e2e.sh ZELMORA CHECK RENDER   (DISPLAY names a running X server)
set -uo pipefail
source "$(dirname "$0")/lib.sh"
programs mouse_e2e.sh "$@"

corpus=${ZELMORA_CORPUS:-$(dirname "$0")/../../../shared/corpus}
module=$corpus/mod/bugsquish__corpses.mod
if [[ ! -f $module ]]; then
  echo "no corpus module: skipped"
  exit 0
fi

new_workspace
# Named so that the module is the first row of the list.
cp "$module" "$work/songs/a-corpses.mod"
for other in "$corpus"/s3m/*.s3m "$corpus"/xm/*.xm; do
  [[ -f $other ]] && cp "$other" "$work/songs/b-$(basename "$other")"
done
write_short_settings 0 "$work/config/zelmora/zelmora.set"
recording="$work/songs/zelmora-recording.wav"
saved="$work/songs/mouse e2e.zmo"

click() { xdotool mousemove "$1" "$2" click 1; sleep 0.1; }

user_clicks() {
  # Open the module with a double-click on its row.
  xdotool mousemove 560 42 click --repeat 2 --delay 60 1
  expect_on_screen "Protracker Module Loaded." || return 1
  # Play the song with the transport button; sound reaches the recording.
  click 130 215
  wait_for 10 "$CHECK" sound "$recording" || { fail "no sound after the play button"; return 1; }
  # Hold the tempo's up arrow for a second: about 48 steps from 125.
  xdotool mousemove 92 212 mousedown 1
  sleep 1
  xdotool mouseup 1
  click 130 245  # stop
  # The Master page: drag band 0's knob up by 20 pixels, a gain of 20 labelled +07.
  click 440 104
  xdotool mousemove 537 70 mousedown 1 mousemove 537 60 mousemove 537 50 mouseup 1
  expect_on_screen "+07" || return 1
  # Back on the Browser page: clear the song's name, type a new one, save.
  click 440 40
  click 566 262
  xdotool key --repeat 32 --delay 10 Delete
  xdotool key --delay 30 m o u s e space e 2 e Return
  click 800 262
  wait_for 10 test -f "$saved" || { fail "nothing saved"; return 1; }
  expect_on_screen "Zelmora Module Saved." || return 1
  xdotool key alt+F4
}

run_session user_clicks

if [[ $status -eq 0 ]]; then
  info=$("$render" --info "$saved" 2>/dev/null | tail -n 1)
  tempo=$(sed -n 's/.*"tempo": \([0-9]*\).*/\1/p' <<<"$info")
  [[ $info == *'"status": "Zelmora Module Loaded."'* ]] || { fail "the saved file does not load: $info"; status=1; }
  [[ $info == *'"name": "mouse e2e"'* ]] || { fail "saved name: $info"; status=1; }
  # 125 and about 48 steps; the tick timing may lose or gain a few.
  [[ -n $tempo && $tempo -ge 160 && $tempo -le 190 ]] || { fail "saved tempo ${tempo:-none}"; status=1; }
  [[ $status -eq 0 ]] && echo "mouse: \"mouse e2e\" saved at tempo $tempo and loaded back"
fi
[[ $status -eq 0 ]] || { echo "--- program output"; cat "$work/log"; }
exit $status
