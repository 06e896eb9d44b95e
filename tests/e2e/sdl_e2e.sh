#!/usr/bin/env bash
# The SDL build end to end, as a user meets it: start with a settings file that
# selects the recording driver, type four notes, play, stop, close; then check
# the recording, a screenshot and the settings file written at exit.
# Usage: sdl_e2e.sh ZELMORA CHECK   (DISPLAY names a running X server)
set -uo pipefail
zelmora=$(readlink -e "${1:?usage: sdl_e2e.sh ZELMORA CHECK}") || { echo "missing $1"; exit 1; }
CHECK=$(readlink -e "${2:?usage: sdl_e2e.sh ZELMORA CHECK}") || { echo "missing $2"; exit 1; }
source "$(dirname "$0")/lib.sh"

work=$(mktemp -d)
pid=
cleanup() {
  [[ -n $pid ]] && kill "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/config/zelmora" "$work/songs"
"$CHECK" tone "$work/songs/tone.wav" || exit 1
# With SDL's audio left out the recording driver is the only one: index 0.
write_short_settings 0 "$work/config/zelmora/zelmora.set"
recording="$work/songs/zelmora-recording.wav"

(cd "$work/songs" && XDG_CONFIG_HOME="$work/config" SDL_AUDIODRIVER=none exec "$zelmora") >"$work/log" 2>&1 &
pid=$!
status=0
if ! wait_for 30 window_shown; then
  fail "no window"; status=1
elif ! wait_for 10 larger_than "$recording" 44; then
  fail "the recording driver did not start"; status=1
elif ! user_plays "$recording"; then
  status=1
fi
if ! wait_for 10 process_gone "$pid"; then
  fail "the window did not close"; status=1
else
  wait "$pid" || { fail "exit code $?"; status=1; }
  pid=
fi
[[ $status -eq 0 ]] && { "$CHECK" recording "$recording" || status=1; }
size=$(file_size "$work/config/zelmora/zelmora.set")
[[ $size -eq 18 ]] || { fail "settings file of $size bytes"; status=1; }
[[ $status -eq 0 ]] || { echo "--- program output"; cat "$work/log"; }
exit $status
