#!/usr/bin/env bash
# Faults that must not lose or misplace a song: a save beside a link at the
# name an old temporary file had leaves the link's file alone; a program
# started in a folder removed before it starts saves into the home folder, not
# into the root; the renderer refuses a FIFO and an endless device at once.
# Usage: faults_e2e.sh ZELMORA CHECK RENDER   (DISPLAY names a running X server)
set -uo pipefail
source "$(dirname "$0")/lib.sh"
programs faults_e2e.sh "$@"

new_workspace
write_short_settings 0 "$work/config/zelmora/zelmora.set"
status=0

# save_in FOLDER HOME: starts the tracker in FOLDER (made and removed first when
# it is "gone") with HOME, clicks the Browser page's save button, waits for
# "Untitled.zmo" in the expected folder ($expect) and closes the window.
save_in() {
  local folder=$1 home=$2
  (
    if [[ $folder == gone ]]; then mkdir "$work/gone" && cd "$work/gone" && rmdir "$work/gone"; else cd "$folder"; fi
    HOME=$home XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" SDL_AUDIODRIVER=none exec "$zelmora"
  ) >"$work/log" 2>&1 &
  pid=$!
  wait_for 30 window_shown || { fail "no window"; return 1; }
  # A click that comes while the window is still being set up may be lost: tried again.
  local try
  for try in 1 2 3; do
    xdotool mousemove 800 262 click 1
    wait_for 4 test -f "$expect/Untitled.zmo" && break
  done
  [[ -f $expect/Untitled.zmo ]] || { fail "nothing saved in $expect"; return 1; }
  xdotool key alt+F4
  wait_for 10 process_gone "$pid" || { fail "the window did not close"; return 1; }
  pid=
}

# 1. A link named as the old temporary file, pointing at a precious file.
echo "precious" > "$work/precious.txt"
ln -s "$work/precious.txt" "$work/songs/Untitled.zmo.tmp"
expect=$work/songs
save_in "$work/songs" "$work" || status=1
[[ $(cat "$work/precious.txt") == precious ]] || { fail "the linked file was overwritten"; status=1; }
[[ -L $work/songs/Untitled.zmo.tmp ]] || { fail "the link is gone"; status=1; }

# 2. A start folder removed before the start: the save goes home.
mkdir -p "$work/home"
root_before=$([[ -e /Untitled.zmo ]] && echo yes || echo no)
expect=$work/home
save_in gone "$work/home" || status=1
[[ $root_before == yes || ! -e /Untitled.zmo ]] || { fail "a song was saved into /"; rm -f /Untitled.zmo; status=1; }

# 3. Files that never end or never open: refused at once, in little memory.
mkfifo "$work/songs/tone.wav"
ln -s /dev/zero "$work/songs/zero.mod"
for name in tone.wav zero.mod; do
  start=$SECONDS
  (ulimit -v 4000000; timeout 20 "$render" --info "$work/songs/$name") >/dev/null 2>&1
  code=$?
  [[ $code -eq 1 && $((SECONDS - start)) -le 5 ]] || { fail "$name: exit $code after $((SECONDS - start)) s"; status=1; }
done

[[ $status -eq 0 ]] && echo "faults: the link and the root untouched, FIFO and device refused"
[[ $status -eq 0 ]] || { echo "--- program output"; cat "$work/log"; }
exit $status
