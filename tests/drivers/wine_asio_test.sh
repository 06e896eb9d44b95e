#!/usr/bin/env bash
# Registers the test ASIO driver in the Wine prefix and runs the end-to-end
# test under Wine. Usage: wine_asio_test.sh <windows build folder>
# Wine must already be up: WINEPREFIX set, a persistent wineserver, the prefix booted.
set -euo pipefail
build=${1:?usage: wine_asio_test.sh <windows build folder>}
dll="$build/tests/drivers/zelmora_test_asio.dll"
exe="$build/tests/drivers/zelmora_wine_asio_test.exe"
for f in "$dll" "$exe"; do
  [[ -e "$f" ]] || { echo "missing $f"; exit 1; }
done
dll=$(readlink -f "$dll")
exe=$(readlink -f "$exe")

class='{5A3C9E21-7B4D-4F10-9C2E-1D8B6A4F0E37}'
missing='{5A3C9E21-7B4D-4F10-9C2E-1D8B6A4F0E38}'
# Wine's drive Z: is the root of the file system; no pipe from a Wine program
# is read here, so none can wait on Wine's services.
dllw="Z:${dll//\//\\}"
reg() { wine reg "$@" >/dev/null 2>&1 </dev/null; }

work=$(mktemp -d)
cleanup() {
  # Leave the prefix as it was: every program that builds a driver list
  # would otherwise walk the class registry for these entries.
  reg delete 'HKLM\Software\ASIO\Zelmora Test Driver' /f || true
  reg delete 'HKLM\Software\ASIO\Zelmora Missing Driver' /f || true
  reg delete "HKCR\\CLSID\\$class" /f || true
  reg delete "HKCR\\CLSID\\$missing" /f || true
  rm -rf "$work"
}
trap cleanup EXIT

reg add "HKCR\\CLSID\\$class\\InprocServer32" /ve /d "$dllw" /f
reg add "HKCR\\CLSID\\$class\\InprocServer32" /v ThreadingModel /d Apartment /f
reg add 'HKLM\Software\ASIO\Zelmora Test Driver' /v CLSID /d "$class" /f
reg add 'HKLM\Software\ASIO\Zelmora Test Driver' /v Description /d 'Zelmora Test Driver' /f
# A second entry whose library does not exist: the list must leave it out.
reg add "HKCR\\CLSID\\$missing\\InprocServer32" /ve /d 'C:\nowhere\missing_driver.dll' /f
reg add 'HKLM\Software\ASIO\Zelmora Missing Driver' /v CLSID /d "$missing" /f

cd "$work"
wine "$exe" --gtest_brief=1 </dev/null
