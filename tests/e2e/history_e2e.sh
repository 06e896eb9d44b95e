#!/usr/bin/env bash
# Undo, redo, autosave and recovery as a musician meets them: type three notes,
# undo the last and redo it, raise the tempo with the mouse and undo that,
# save; type one more note and wait for the autosave (every 2 s here); kill the
# program; the saved song holds the three notes at the old tempo, the autosave
# all four, and the next start lists the autosave folder with "Autosave Kept".
# Usage: history_e2e.sh ZELMORA CHECK RENDER   (DISPLAY names a running X server)
set -uo pipefail
source "$(dirname "$0")/lib.sh"
programs history_e2e.sh "$@"

new_workspace
write_short_settings 0 "$work/config/zelmora/zelmora.set"
saves=$work/state/zelmora/autosave
status=0

start() {
  (cd "$work/songs" && XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" ZELMORA_AUTOSAVE_SECONDS=2 \
     SDL_AUDIODRIVER=none exec "$zelmora") >"$work/log" 2>&1 &
  pid=$!
  wait_for 30 window_shown || { fail "no window"; return 1; }
  # Ready for the keys once the recording driver runs.
  wait_for 10 larger_than "$work/songs/zelmora-recording.wav" 44 || { fail "the recording driver did not start"; return 1; }
}
autosaved() { compgen -G "$saves/Untitled-*.zmo" >/dev/null; }
# cell INFO ROW NOTE: the song's JSON holds NOTE in track 0 of that row of pattern 0.
cell() { grep -q "\[$2, 0, $3, " <<<"$1"; }

session() {
  start || return 1
  xdotool key --delay 40 space z c b
  xdotool key ctrl+z
  expect_on_screen "Undo: Note Entry." || return 1
  xdotool key ctrl+y Down
  xdotool mousemove 92 212 click 1
  sleep 0.2
  xdotool key ctrl+z
  expect_on_screen "Undo: Tempo." || return 1
  xdotool mousemove 800 262 click 1
  wait_for 10 test -f "$work/songs/Untitled.zmo" || { fail "nothing saved"; return 1; }
  sleep 3
  autosaved && { fail "an autosave of a saved song"; return 1; }
  xdotool key q
  wait_for 10 autosaved || { fail "no autosave"; return 1; }
  kill -9 "$pid"
  wait "$pid" 2>/dev/null
  pid=
}
session || status=1

if [[ $status -eq 0 ]]; then
  saved=$("$render" --info "$work/songs/Untitled.zmo" 2>/dev/null | tail -n 1)
  auto=$("$render" --info "$(compgen -G "$saves/Untitled-*.zmo" | head -n 1)" 2>/dev/null | tail -n 1)
  { cell "$saved" 0 49 && cell "$saved" 1 53 && cell "$saved" 2 56 && ! cell "$saved" 3 61; } ||
    { fail "the saved song's notes: $saved"; status=1; }
  [[ $saved == *'"tempo": 125'* ]] || { fail "the tempo change was not undone"; status=1; }
  { cell "$auto" 2 56 && cell "$auto" 3 61; } || { fail "the autosave's notes: $auto"; status=1; }
  # The next start finds the marker of the killed run.
  if start; then
    expect_on_screen "Autosave Kept: Untitled-" || status=1
    xdotool key alt+F4
    wait_for 10 process_gone "$pid" || { fail "the window did not close"; status=1; }
    pid=
    [[ ! -e $saves/running ]] || { fail "the marker stays after a normal exit"; status=1; }
  else
    status=1
  fi
fi
[[ $status -eq 0 ]] && echo "history: undo, redo, save, autosave and recovery as expected"
[[ $status -eq 0 ]] || { echo "--- program output"; cat "$work/log"; }
exit $status
