#!/usr/bin/env bash
# The Windows build end to end under Wine, with the test ASIO driver: the
# window opens, keys and clicks reach it, the recording holds the typed notes,
# and the settings file is written beside the executable.
# Usage: wine_e2e.sh ZELMORA.EXE TEST_DRIVER.DLL CHECK
# Wine must already be up (WINEPREFIX set, a persistent wineserver, the prefix
# booted) and DISPLAY must name a running X server.
set -uo pipefail
exe=$(readlink -e "${1:?usage: wine_e2e.sh ZELMORA.EXE TEST_DRIVER.DLL CHECK}") || { echo "missing $1"; exit 1; }
dll=$(readlink -e "${2:?}") || { echo "missing $2"; exit 1; }
CHECK=$(readlink -e "${3:?}") || { echo "missing $3"; exit 1; }
source "$(dirname "$0")/lib.sh"

class='{5A3C9E21-7B4D-4F10-9C2E-1D8B6A4F0E37}'
# No pipe from a Wine program is read here, so none can wait on Wine's services.
reg() { wine reg "$@" >/dev/null 2>&1 </dev/null; }

work=$(mktemp -d)
pid=
cleanup() {
  [[ -n $pid ]] && kill "$pid" 2>/dev/null
  reg delete 'HKLM\Software\ASIO\Zelmora Test Driver' /f
  reg delete "HKCR\\CLSID\\$class" /f
  rm -rf "$work"
}
trap cleanup EXIT

# Without a window manager, Wine's own (unmanaged) windows close without a wait.
reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
# Wine's drive Z: is the root of the file system.
reg add "HKCR\\CLSID\\$class\\InprocServer32" /ve /d "Z:${dll//\//\\}" /f
reg add "HKCR\\CLSID\\$class\\InprocServer32" /v ThreadingModel /d Apartment /f
reg add 'HKLM\Software\ASIO\Zelmora Test Driver' /v CLSID /d "$class" /f
reg add 'HKLM\Software\ASIO\Zelmora Test Driver' /v Description /d 'Zelmora Test Driver' /f

mkdir -p "$work/bin" "$work/songs"
cp "$exe" "$work/bin/zelmora.exe"
"$CHECK" tone "$work/songs/tone.wav" || exit 1
# The test driver is the only one registered: index 0.
write_short_settings 0 "$work/bin/zelmora.set"
recording="$work/songs/zelmora-test-driver.wav"

(cd "$work/songs" && exec wine "$work/bin/zelmora.exe") </dev/null >"$work/log" 2>&1 &
pid=$!
status=0
if ! wait_for 40 window_shown; then
  fail "no window"; status=1
elif ! wait_for 15 larger_than "$recording" 44; then
  fail "the test driver did not start"; status=1
elif ! user_plays "$recording"; then
  status=1
fi
window_closes 15
[[ $status -eq 0 ]] && { "$CHECK" recording "$recording" || status=1; }
size=$(file_size "$work/bin/zelmora.set")
[[ $size -eq 18 ]] || { fail "settings file of $size bytes"; status=1; }
[[ $status -eq 0 ]] || { echo "--- program output"; cat "$work/log"; }
exit $status
