#!/usr/bin/env bash
# The Windows stage: cross-builds the 32-bit Windows programs into build/windows, makes a fresh Wine
# prefix there, registers the test station once, runs the Windows tests under Wine, checks z83-extract.exe
# end to end against the Linux build, makes the package (build/windows/z83-log-extraction-<version>-win32.zip)
# and drives the window program from the unpacked package under Xvfb. Installs the Debian packages it lacks
# (as root or with sudo). Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

step() { printf '\n== %s\n' "$*"; }
fail() { printf 'FAILED: %s\n' "$*" >&2; exit 1; }

# --- Packages --------------------------------------------------------------------------------------------
tools/deps.sh run # the Linux extractor, to compare with
tools/deps.sh windows

# --- Cross build -----------------------------------------------------------------------------------------
step "Cross build for 32-bit Windows (build/windows)"
[ -f build/windows/build.ninja ] || cmake --preset windows >/dev/null
cmake --build --preset windows

# --- A fresh Wine prefix ---------------------------------------------------------------------------------
step "Fresh Wine prefix, test station registered"
export WINEPREFIX=$root/build/windows/wineprefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY # console programs and COM need no display
wineserver -k >/dev/null 2>&1 || true # a server left running on the old prefix
rm -rf "$WINEPREFIX" && mkdir -p "$WINEPREFIX"
# A persistent server first, then the prefix and Wine's own services, with their output elsewhere:
# otherwise the services hold on to ctest's output pipe, and every test waits for them.
wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wineboot -i >/dev/null 2>&1 || fail "wineboot could not make a Wine prefix"
station=$(winepath -w build/windows/bin/Z83TestStation.dll)
# Once, machine-wide: tests that register and unregister a shared class break each other when run side
# by side, and Wine's COM does not see per-user registrations.
wine regsvr32 /s "$station" || fail "regsvr32 could not register the test station"
tools/wine-window-prefix.sh # the fonts the window names

step "Windows tests under Wine"
ctest --preset windows -j2 --timeout 300

# --- The extractor end to end, against the Linux build ---------------------------------------------------
step "z83-extract.exe end to end through COM, compared with the Linux build"
[ -f build/ci/build.ninja ] || cmake --preset ci >/dev/null
cmake --build --preset ci --target z83-extract >/dev/null
linux=build/ci/cli/z83-extract
windows=build/windows/bin/z83-extract.exe
work=build/windows/end-to-end
rm -rf "$work" && mkdir -p "$work"

# Runs a command and leaves its exit code in $rc, whatever it is.
run() { set +e; "$@"; rc=$?; set -e; }
expect_code() { [ "$rc" -eq "$1" ] || fail "$2: exit code $rc, expected $1"; }
expect_text() { grep -qF -- "$1" "$2" || { cat "$2" >&2; fail "$3: no \"$1\" in the messages"; }; }

find "$WINEPREFIX/drive_c/users" -path '*z83-log-extraction/journal.jsonl' -delete
"$linux" --id 1A2B3C -o - >"$work/linux-demo.csv" 2>/dev/null
run wine "$windows" --progid Z83TestStation.Station --id 1A2B3C -o - >"$work/windows-demo.csv" 2>"$work/err"
expect_code 0 "the demo module through the test station"
cmp "$work/linux-demo.csv" "$work/windows-demo.csv" || fail "the demo report differs from the Linux build's"
echo "demo module: the report is byte for byte the Linux build's"

# Faults on "S" and "U" that the retries get past, and some that they do not; a link lost for good.
for name in flaky-radio lost-link; do
  scenario=scenarios/$name.json
  run "$linux" --id 1A2B3C --scenario "$scenario" -o - >"$work/linux-$name.csv" 2>"$work/linux-$name.err"
  linux_rc=$rc
  run env Z83_TEST_STATION_SCENARIO="$(winepath -w "$scenario")" \
    wine "$windows" --progid Z83TestStation.Station --id 1A2B3C -o - >"$work/windows-$name.csv" 2>"$work/windows-$name.err"
  expect_code "$linux_rc" "$name through the test station"
  cmp "$work/linux-$name.csv" "$work/windows-$name.csv" || fail "$name gives other entries than on Linux"
  tr -d '\r' <"$work/windows-$name.err" | cmp - "$work/linux-$name.err" || fail "$name gives other messages than on Linux"
  echo "$name: the same entries, messages and exit code ($rc) as the Linux build"
done
[ "$rc" -eq 11 ] || fail "a link lost for good: exit code $rc, expected 11"

# Sessions recorded through COM replay on Linux to the same report, byte for byte, with the same messages
# and exit code; and COM still gives the reports of the recordings shipped in scenarios/recorded.
# Z83_REFRESH_RECORDINGS=1 puts the new recordings there instead.
record_session() { # name, scenario ("" for the built-in demo), the extraction's options
  local name=$1 scenario=$2 at served=(); shift 2
  at=$(winepath -w "$work")
  [ -z "$scenario" ] || served=(Z83_TEST_STATION_SCENARIO="$(winepath -w "$scenario")")
  run env "${served[@]}" Z83_TEST_STATION_STATE="$at\\$name-cleared.txt" \
    wine "$windows" --progid Z83TestStation.Station --record "$at\\$name.json" -o "$at\\$name.csv" --quiet "$@" \
    2>"$work/$name.err"
  { echo "exit code $rc"; tr -d '\r' <"$work/$name.err"; } >"$work/$name.txt"
  run "$linux" --scenario "$work/$name.json" -o "$work/$name-replayed.csv" --quiet "$@" 2>"$work/$name-replayed.err"
  cmp "$work/$name.csv" "$work/$name-replayed.csv" || fail "$name: the replay on Linux gives another report"
  { echo "exit code $rc"; cat "$work/$name-replayed.err"; } | cmp - "$work/$name.txt" ||
    fail "$name: the replay on Linux ends otherwise"
  if [ "${Z83_REFRESH_RECORDINGS:-}" = 1 ]; then
    cp "$work/$name.json" "$work/$name.csv" "$work/$name.txt" scenarios/recorded/
  else
    cmp "$work/$name.csv" "scenarios/recorded/$name.csv" || fail "$name: COM no longer gives the shipped report"
    cmp "$work/$name.txt" "scenarios/recorded/$name.txt" || fail "$name: COM no longer ends as shipped"
  fi
  echo "$name: recorded through COM, replayed on Linux to the same report, byte for byte ($(head -1 "$work/$name.txt"))"
}
mkdir -p scenarios/recorded
record_session clean-run "" --id 1A2B3C
record_session flaky-radio scenarios/flaky-radio.json --id 1A2B3C
record_session clear "" --id 1A2B3C --clear --yes

# The station remembers a cleared module for the next process, as a real module does.
export Z83_TEST_STATION_STATE
Z83_TEST_STATION_STATE=$(winepath -w "$work")\\cleared.txt
run wine "$windows" --progid Z83TestStation.Station --id 1A2B3C -o "$(winepath -w "$work")\\cleared.csv" --clear --yes \
  2>"$work/err"
expect_code 0 "--clear through the test station"
expect_text "Cleared all logs of module 1A2B3C." "$work/err" "--clear"
run wine "$windows" --progid Z83TestStation.Station --id 1A2B3C -o - >/dev/null 2>"$work/err"
expect_code 5 "the module after --clear"
expect_text "The handheld does not contain any logs!" "$work/err" "the module after --clear"
unset Z83_TEST_STATION_STATE
echo "--clear: the test station's module is empty afterwards"

# The journal in the prefix's local application data: the saved report intact, then changed. The tests
# before wrote their own entries there, for reports long removed; this check reads only this stage's.
run wine "$windows" --journal --verify >"$work/verify" 2>"$work/err"
expect_code 0 "--journal --verify"
expect_text "intact     $(winepath -w "$work")\\cleared.csv" "$work/verify" "--journal --verify"
printf 'edited' >>"$work/cleared.csv"
run wine "$windows" --journal --verify >"$work/verify" 2>"$work/err"
expect_code 12 "--journal --verify after an edit"
expect_text "changed    " "$work/verify" "--journal --verify after an edit"
echo "the journal: --verify finds the report intact, then changed after an edit"

# The history: the same two reports imported on both sides make the same page, paths and times aside (the
# journal's path, the visits' times and paths). A module of its own keeps the entries above out of it.
history=$work/history
mkdir -p "$history/reports" "$history/linux"
echo '{ "modules": [ { "id": "5E6F70", "generated": { "count": 40, "seed": 9 } } ] }' >"$history/module.json"
made_elsewhere() { HOME=$history/elsewhere XDG_DATA_HOME=$history/elsewhere "$linux" "$@"; }
export_linux() { HOME=$history/linux XDG_DATA_HOME=$history/linux "$linux" "$@"; }
made_elsewhere --id 5E6F70 --scenario "$history/module.json" -o "$history/reports/visit.CSV" --quiet
run made_elsewhere --id 1A2B3C --scenario scenarios/bad-crc.json -o "$history/reports/flagged.CSV" --quiet
export_linux --import "$history/reports" --module 5E6F70 --quiet
export_linux --history --module 5E6F70 -o "$history/linux.html" --quiet
run wine "$windows" --import "$(winepath -w "$history/reports")" --module 5E6F70 --quiet 2>"$work/err"
expect_code 0 "--import"
run wine "$windows" --history --module 5E6F70 -o "$(winepath -w "$history")\\windows.html" --quiet 2>"$work/err"
expect_code 0 "--history"
aside() { grep -v -e '^<p class="made">' -e '^<tr><td>' -e '^<tr class="bad"><td>' "$1"; }
cmp <(aside "$history/linux.html") <(aside "$history/windows.html") || fail "the history page differs from Linux's"
grep -q 'class="ov"' "$history/windows.html" || fail "the history page has no chart"
echo "the history: the page made under Wine is the Linux build's, paths and times aside"

# Nothing registered under the component's name: the program never picks the test station by itself.
run wine "$windows" --diagnose >"$work/diagnosis.txt"
expect_code 3 "--diagnose with no component registered"
for section in "Program" "Registration (32-bit view)" "Type information" "Creation" "Probe, in the order of start-up"; do
  expect_text "$section" "$work/diagnosis.txt" "--diagnose"
done
expect_text "none: no class is registered under Z83DataProviderCOM.*" "$work/diagnosis.txt" "--diagnose"
tr -d '\r' <"$work/diagnosis.txt"
# Saved for Notepad (CR LF, never CR CR LF), named in full, with the code's name and the next step.
run wine "$windows" --diagnose -o "$work/diagnosis-saved.txt" >/dev/null 2>"$work/err"
expect_code 3 "--diagnose -o with no component registered"
[ "$(tr -cd '\n' <"$work/diagnosis-saved.txt" | wc -c)" = "$(grep -c $'\r$' "$work/diagnosis-saved.txt")" ] &&
  ! grep -q $'\r\r' "$work/diagnosis-saved.txt" || fail "the saved diagnosis does not end its lines in CR LF"
expect_text "Diagnosis saved as $(winepath -w "$work")\\diagnosis-saved.txt." "$work/err" "--diagnose -o"
expect_text "0x80040154 REGDB_E_CLASSNOTREG" "$work/diagnosis-saved.txt" "--diagnose -o"
expect_text "1.  Register the component once, from an administrator prompt, with the 32-bit regsvr32" \
  "$work/diagnosis-saved.txt" "--diagnose -o"
run wine "$windows" --id 1A2B3C 2>"$work/err"
expect_code 3 "no component registered"
expect_text "Z83DataProviderCOM.DLL possibly not registered! Error: " "$work/err" "no component registered"
expect_text "[Code: -2147221164]" "$work/err" "no component registered"
# And with the test station unregistered, asked for by name.
wine regsvr32 /u /s "$station"
run wine "$windows" --progid Z83TestStation.Station --id 1A2B3C 2>"$work/err"
expect_code 3 "an unregistered class"
expect_text "Z83DataProviderCOM.DLL possibly not registered! Error: " "$work/err" "an unregistered class"
expect_text "[Code: -2147221005]" "$work/err" "an unregistered class"
echo "nothing registered: exit 3 with the start-up message and its code"

# --- The package, and the window run from it -------------------------------------------------------------
step "The package, unpacked and run"
cmake --build --preset windows --target package >/dev/null
version=$(sed -n 's/^project(z83logs VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
package=z83-log-extraction-$version-win32
unpacked=build/windows/package-check
rm -rf "$unpacked" && mkdir -p "$unpacked"
(cd "$unpacked" && cmake -E tar xf "$root/build/windows/$package.zip")
listed=$(cd "$unpacked/$package" && find . -type f | sort | tr '\n' ' ')
expected=$( (printf './%s\n' LICENSE.txt README.txt z83-extract.exe z83-log-extraction.exe
             cd scenarios && find . -maxdepth 1 -name '*.json' | sed 's|^\./|./scenarios/|'
             find recorded -type f | sed 's|^|./scenarios/|') | sort | tr '\n' ' ')
[ "$listed" = "$expected" ] || fail "the package holds '$listed', expected '$expected'"
for text in README.txt LICENSE.txt; do
  [ "$(tr -cd '\n' <"$unpacked/$package/$text" | wc -c)" = "$(tr -cd '\r' <"$unpacked/$package/$text" | wc -c)" ] ||
    fail "$text in the package does not have CR LF line ends"
done
echo "$package.zip: both programs, README.txt, LICENSE.txt, the example scenarios and the recorded sessions"

# --- The installer: install, run, upgrade, remove ---------------------------------------------------------
step "The installer under Wine: install, run, upgrade from a lower version, remove"
cmake --build --preset windows --target msi >/dev/null
msi=build/windows/z83-log-extraction-$version.msi
installers=build/windows/installer-check
rm -rf "$installers" && mkdir -p "$installers"
# The same files under a lower version, to upgrade from.
older=0.9.0
(cd build/windows/package/msi-files &&
  wixl -a x86 -D Version=$older -D Files=. -o "$root/$installers/z83-log-extraction-$older.msi" \
    "$root/package/z83-log-extraction.wxs")
installed="$WINEPREFIX/drive_c/Program Files/Z83 Log Extraction"
installed_files="LICENSE.txt README.txt z83-extract.exe z83-log-extraction.exe"
journal=$(winepath -u "$(wine cmd /c echo %LOCALAPPDATA% | tr -d '\r')")/z83-log-extraction/journal.jsonl
# The programs in the list of installed programs: "version|publisher" for each entry of that name.
listed() {
  wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
    awk '/^HKEY/ { if (name == "Tarnwell Z83-PM-VX Log Extraction") print version "|" publisher; name = "" }
         $1 == "DisplayName" { $1 = $2 = ""; sub(/^ +/, ""); name = $0 }
         $1 == "DisplayVersion" { version = $3 } $1 == "Publisher" { publisher = $3 }
         END { if (name == "Tarnwell Z83-PM-VX Log Extraction") print version "|" publisher }'
}
menu_entries() { find "$WINEPREFIX/drive_c" -path '*Start Menu/Programs/Z83 Log Extraction/*.lnk' | sort; }
wine regsvr32 /s "$station" || fail "regsvr32 could not register the test station"

run wine msiexec /i "$(winepath -w "$installers/z83-log-extraction-$older.msi")" /qn
expect_code 0 "a quiet install of $older"
[ "$(listed)" = "$older|Tarnwell" ] || fail "after installing $older the installed programs list '$(listed)'"
for file in $installed_files; do [ -f "$installed/$file" ] || fail "$file was not installed"; done
cmp "$installed/README.txt" "$unpacked/$package/README.txt" || fail "the installed README.txt is not the package's"
menu=$(menu_entries)
grep -q "/Z83-PM-VX Log Extraction.lnk$" <<<"$menu" || fail "no Start menu entry for the window: $menu"
grep -q "/Z83-PM-VX Log History.lnk$" <<<"$menu" || fail "no Start menu entry for the history page: $menu"
strings -el "$(grep '/Z83-PM-VX Log History.lnk$' <<<"$menu")" | grep -qx -- '--history --open' ||
  fail "the history page's Start menu entry does not run z83-extract.exe --history --open"
# The installed extractor against the test station, and something of the user's to keep: a report, the
# journal's entry for it, and the window's remembered ID.
run wine "C:\\Program Files\\Z83 Log Extraction\\z83-extract.exe" --progid Z83TestStation.Station --id 1A2B3C \
  -o "$(winepath -w "$installers")\\installed.csv" 2>"$work/err"
expect_code 0 "the installed z83-extract.exe through the test station"
cmp "$installers/installed.csv" "$work/linux-demo.csv" || fail "the installed extractor's report differs from Linux's"
grep -qF 'installed.csv' "$journal" || fail "the installed extractor did not journal its report"
cp "$journal" "$installers/journal-before"
wine reg add 'HKCU\Software\z83-log-extraction\Settings' /v ID /d 4D5E6F /f >/dev/null
echo "installed $older quietly: the programs, README and licence, two Start menu entries, one report through COM"

run wine msiexec /i "$(winepath -w "$msi")" /qn
expect_code 0 "a quiet upgrade to $version"
[ "$(listed)" = "$version|Tarnwell" ] || fail "after the upgrade the installed programs list '$(listed)'"
for file in $installed_files; do [ -f "$installed/$file" ] || fail "$file is missing after the upgrade"; done
[ "$(menu_entries | wc -l)" = 2 ] || fail "after the upgrade the Start menu holds: $(menu_entries)"
cmp "$journal" "$installers/journal-before" || fail "the upgrade changed the journal"
wine reg query 'HKCU\Software\z83-log-extraction\Settings' /v ID | grep -q 4D5E6F || fail "the upgrade lost the settings"
echo "upgraded $older to $version in place: one entry in the installed programs, journal and settings kept"

run wine msiexec /x "$(winepath -w "$msi")" /qn
expect_code 0 "a quiet removal"
[ -z "$(listed)" ] || fail "after removal the installed programs still list '$(listed)'"
[ ! -e "$installed" ] || fail "removal left $(find "$installed" | tr '\n' ' ')"
[ -z "$(menu_entries)" ] || fail "removal left the Start menu entries $(menu_entries)"
cmp "$journal" "$installers/journal-before" || fail "removal changed the journal"
[ -f "$installers/installed.csv" ] || fail "removal took the user's report"
wine reg query 'HKCU\Software\z83-log-extraction\Settings' /v ID | grep -q 4D5E6F || fail "removal took the settings"
wine reg delete 'HKCU\Software\z83-log-extraction' /f >/dev/null
echo "removed quietly: every installed file and entry gone; the report, journal and settings stay"

step "The window under Xvfb, from the package, through COM to the test station"
tools/win32-window-e2e.sh "$work/linux-demo.csv" --program "$unpacked/$package/z83-log-extraction.exe" \
  --screenshot build/windows/window-win32.png

step "Windows stage passed"
