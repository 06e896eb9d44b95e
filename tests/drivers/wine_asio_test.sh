#!/usr/bin/env bash
# Registers the test ASIO driver in the Wine prefix and runs the end-to-end
# test under Wine. Usage: wine_asio_test.sh <windows build folder>
# Wine must already be up: WINEPREFIX set, a persistent wineserver, the prefix booted.
set -euo pipefail
build=${1:?usage: wine_asio_test.sh <windows build folder>}
dll=$(readlink -e "$build/tests/drivers/zelmora_test_asio.dll") || { echo "missing test driver"; exit 1; }
exe=$(readlink -e "$build/tests/drivers/zelmora_wine_asio_test.exe") || { echo "missing test program"; exit 1; }

class='{5A3C9E21-7B4D-4F10-9C2E-1D8B6A4F0E37}'
missing='{5A3C9E21-7B4D-4F10-9C2E-1D8B6A4F0E38}'
# No pipe from a Wine program is read here, so none can wait on Wine's services.
reg() { wine reg "$@" >/dev/null 2>&1 </dev/null; }

work=$(mktemp -d)
cleanup() {
  # Leave the prefix as it was for every other program that lists drivers.
  for key in 'HKLM\Software\ASIO\Zelmora Test Driver' 'HKLM\Software\ASIO\Zelmora Missing Driver' \
    "HKCR\\CLSID\\$class" "HKCR\\CLSID\\$missing"; do
    reg delete "$key" /f || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

# Wine's drive Z: is the root of the file system.
reg add "HKCR\\CLSID\\$class\\InprocServer32" /ve /d "Z:${dll//\//\\}" /f
reg add "HKCR\\CLSID\\$class\\InprocServer32" /v ThreadingModel /d Apartment /f
reg add 'HKLM\Software\ASIO\Zelmora Test Driver' /v CLSID /d "$class" /f
reg add 'HKLM\Software\ASIO\Zelmora Test Driver' /v Description /d 'Zelmora Test Driver' /f
# A second entry whose library does not exist: the list must leave it out.
reg add "HKCR\\CLSID\\$missing\\InprocServer32" /ve /d 'C:\nowhere\missing_driver.dll' /f
reg add 'HKLM\Software\ASIO\Zelmora Missing Driver' /v CLSID /d "$missing" /f

cd "$work"
wine "$exe" --gtest_brief=1 </dev/null
