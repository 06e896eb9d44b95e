#!/usr/bin/env bash
# The SDL build end to end, as a user meets it: start with a settings file that
# selects the recording driver, type four notes, play, stop, close; then check
# the recording, a screenshot and the settings file written at exit.
# Usage: sdl_e2e.sh ZELMORA CHECK   (DISPLAY names a running X server)
set -uo pipefail
zelmora=$(readlink -e "${1:?usage: sdl_e2e.sh ZELMORA CHECK}") || { echo "missing $1"; exit 1; }
CHECK=$(readlink -e "${2:?usage: sdl_e2e.sh ZELMORA CHECK}") || { echo "missing $2"; exit 1; }
source "$(dirname "$0")/lib.sh"

new_workspace
"$CHECK" tone "$work/songs/tone.wav" || exit 1
# With SDL's audio left out the recording driver is the only one: index 0.
write_short_settings 0 "$work/config/zelmora/zelmora.set"
recording="$work/songs/zelmora-recording.wav"

run_session user_plays "$recording"
[[ $status -eq 0 ]] && { "$CHECK" recording "$recording" || status=1; }
size=$(file_size "$work/config/zelmora/zelmora.set")
[[ $size -eq 18 ]] || { fail "settings file of $size bytes"; status=1; }
[[ $status -eq 0 ]] || { echo "--- program output"; cat "$work/log"; }
exit $status
