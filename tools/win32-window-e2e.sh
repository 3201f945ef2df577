#!/usr/bin/env bash
# Drives the Win32 window program under Wine like a user, on a virtual X server with a window manager
# (openbox), against the registered test station: finds the window by its caption, checks its frame and
# controls as Windows sees them (build/windows/bin/window_probe.exe), types the demo module's ID, extracts,
# checks the report in the Wine user's documents folder against the Linux build's and that the shell was
# asked to open it, clears the module's logs and sees "No Logs" on the next extraction, then checks that the
# typed ID survives a close and a restart. Also: the start-up box when the component is missing, and a
# scenario file instead of the component, an error the component raises, the command line, the status line
# while an action runs, and the layout scaled at 144 dots per inch.
# Usage: win32-window-e2e.sh REFERENCE_CSV [--program EXE] [--screenshot FILE]
#   REFERENCE_CSV: the demo module's report from the Linux build (z83-extract --id 1A2B3C -o -).
#   EXE: the window program to run (default build/windows/bin/z83-log-extraction.exe).
#   FILE receives a picture of the window after the extraction.
# Needs the Windows build and the Wine prefix that tools/windows.sh makes (WINEPREFIX and the other Wine
# variables set as there), xvfb-run, openbox, xdotool, xprop; import (ImageMagick) for the screenshot.
set -euo pipefail
cd "$(dirname "$0")/.."

usage="usage: win32-window-e2e.sh REFERENCE_CSV [--program EXE] [--screenshot FILE]"
reference=$(realpath "${1:?$usage}")
shift
program=build/windows/bin/z83-log-extraction.exe
shot=
while [[ $# -gt 0 ]]; do
    case $1 in
    --program) program=${2:?$usage} ;;
    --screenshot) shot=$(realpath -m "${2:?$usage}") ;;
    *) echo "$usage" >&2; exit 2 ;;
    esac
    shift 2
done

if [[ -z ${Z83_E2E_INSIDE_X:-} ]]; then
    # The Wine server must start inside the X session: windows made without a display go nowhere.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    export Z83_E2E_INSIDE_X=1
    exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$reference" --program "$program" \
        ${shot:+--screenshot "$shot"}
fi

: "${WINEPREFIX:?set WINEPREFIX to the prefix tools/windows.sh makes}"
probe_exe=build/windows/bin/window_probe.exe
caption='Tarnwell Z83-PM-VX Log Extraction'
work=build/windows/window-e2e
rm -rf "$work" && mkdir -p "$work"
pid=

say() { echo "win32-window-e2e: $*"; }
fail() {
    echo "win32-window-e2e: FAIL: $*" >&2
    import -window root "$work/failure.png" 2>/dev/null || true
    [[ -f $work/program.log ]] && sed 's/^/  program: /' "$work/program.log" >&2
    exit 1
}
cleanup() {
    [[ -n $pid ]] && kill "$pid" 2>/dev/null || true
    wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT

# What Windows says of the window with that title, as "key=value" lines; fails when there is none.
probe() { wine "$probe_exe" "$1" 2>/dev/null | tr -d '\r'; }
# One value of a probe's answer.
value() { sed -n "s/^$2=//p" <<<"$1" | head -n 1; }
expect() {
    local got
    got=$(value "$1" "$2")
    [[ $got == "$3" ]] || fail "$4: $2 is '$got', expected '$3'"
}
# The X window of the visible window with that title, within that many seconds: the one Wine reports
# showing it in, as X's search by title has missed a box that was on the screen (seen under load).
find_window() {
    local found
    for _ in $(seq $(($2 * 2))); do
        found=$(value "$(probe "$1")" xwindow)
        [[ -n $found && $found != 0 ]] || found=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
        [[ -n $found ]] && echo "$found" && return 0
        sleep 0.5
    done
    return 1
}
# Waits are generous: a loaded machine can take many seconds to close a box or end a program. What
# Windows shows decides, as X's search can miss a window.
gone() {
    for _ in $(seq 300); do
        probe "$1" >/dev/null || return 0
        sleep 0.1
    done
    fail "the box '$1' did not go away"
}
start() {
    wine "$program" "$@" >"$work/program.log" 2>&1 &
    pid=$!
}
# Waits for the program to end and checks its exit status.
ended() {
    local status=0
    for _ in $(seq 300); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "$2: the program did not end"
    wait "$pid" || status=$?
    pid=
    [[ $status -eq $1 ]] || fail "$2: the program ended with status $status, expected $1"
}
# Presses Return in the box of that X window and title. The key goes in only once Wine, too, holds the box
# as its foreground window: a key that X delivers before then is lost, and the box would stay. Under load
# Wine sometimes never takes the focus that X gave it; a click into the box's empty corner then makes the
# box foreground, as a user's click would. Return goes again, into the same box only, while it is shown.
shown() {
    local state
    state=$(probe "$2") || return 1
    state=$(value "$state" xwindow)
    [[ $state == 0 || $state == "$1" ]]
}
press_return() {
    local attempt
    for attempt in 1 2 3; do
        xdotool windowfocus --sync "$1" 2>/dev/null || return 0
        [[ $attempt == 1 ]] || xdotool mousemove --window "$1" 4 4 click 1
        for _ in $(seq 100); do
            shown "$1" "$2" || return 0
            [[ $(value "$(probe "$2")" foreground) == 1 ]] && break
            sleep 0.1
        done
        xdotool key Return
        for _ in $(seq 100); do
            shown "$1" "$2" || return 0
            sleep 0.1
        done
    done
}
# Answers a box (Return takes its default button) once it has shown.
answer() {
    local box
    box=$(find_window "$1" 30) || true
    [[ -n $box ]] || fail "the box '$1' did not appear"
    press_return "$box" "$1"
    gone "$1"
}
# Starts the window on a scenario, types the demo module's ID, extracts and OKs the reminder.
extract_from() {
    start --scenario "$(winepath -w "$1")"
    window=$(find_window "$caption" 30) || true
    [[ -n $window ]] || fail "the main window did not appear $2"
    xdotool windowfocus --sync "$window"
    xdotool mousemove --window "$window" 98 252 click 1 key --clearmodifiers ctrl+a
    xdotool type --delay 30 1A2B3C
    xdotool mousemove --window "$window" 546 324 click 1
    answer 'Remember To Clear Log Data'
}

wineserver -p >/dev/null 2>&1
wineboot >/dev/null 2>&1
openbox >/dev/null 2>&1 &
for _ in $(seq 300); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done

# The documents folder of the Wine user is a folder of the prefix, not the Unix home's.
profile=$(winepath -u "$(wine cmd /c echo %USERPROFILE% | tr -d '\r')")
documents=$profile/Documents
[[ -L $documents ]] && rm "$documents"
mkdir -p "$documents"
rm -f "$documents"/Log*.CSV
# Opening a report goes to a stand-in that notes which file the shell was given.
opened=$work/opened.txt
wine reg add 'HKCR\.csv' /ve /d Z83TestReport /f >/dev/null
wine reg add 'HKCR\Z83TestReport\shell\open\command' /ve /f \
    /d "C:\\windows\\system32\\cmd.exe /c echo %1>>\"$(winepath -w "$opened")\"" >/dev/null
# Nothing remembered yet, and the test station registered (the extractor's checks unregister it).
settings='HKCU\Software\z83-log-extraction'
wine reg delete "$settings" /f >/dev/null 2>&1 || true
wine regsvr32 /s "$(winepath -w build/windows/bin/Z83TestStation.dll)" || fail "regsvr32 could not register the test station"

# --- The window as Windows sees it -------------------------------------------------------------------------
start --progid Z83TestStation.Station
window=$(find_window "$caption" 30) || true
[[ -n $window ]] || fail "the main window did not appear"
sleep 0.5
state=$(probe "$caption") || fail "the probe did not find the window"
for check in caption=1 sysmenu=1 minimizebox=0 maximizebox=0 sizebox=0 dialogframe=1 appwindow=0 owner=hidden \
    client=630x409 dpi=96 tbID.text=0 Found.text=Ready cbClear.enabled=0 IKnow.visible=1 IDontKnow.visible=0 \
    tooltip.tools=2; do
    expect "$state" "${check%%=*}" "${check#*=}" "the window at start"
done
off_x=$(value "$state" offcentre.x) off_y=$(value "$state" offcentre.y)
((off_x * off_x <= 1 && off_y * off_y <= 1)) || fail "the window is not centred on the work area (off by $off_x,$off_y)"
# What the X server shows: the client area, and no taskbar button asked for.
eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(WIDTH|HEIGHT)=')"
[[ ${WIDTH}x$HEIGHT == 630x409 ]] || fail "the X window is ${WIDTH}x$HEIGHT, expected 630x409"
xprop -id "$window" _NET_WM_STATE | grep -q _NET_WM_STATE_SKIP_TASKBAR || fail "the window asks for a taskbar button"
# The status line is on the screen, over the tab strip: its "Ready" in the status colour.
# Its pixels of the status colour, and how wide they spread: "count width".
status_ink() {
    import -window "$1" -crop 573x45+24+348 +repage "$work/$2.png"
    convert "$work/$2.png" -fuzz 10% -fill black -opaque 'rgb(102,158,224)' -fill white +opaque black \
        -format '%[fx:round(w*h*(1-mean))] ' -write info: -trim -format '%w' info:
}
read -r shown ready_width <<<"$(status_ink "$window" status-ready)"
((shown > 200)) || fail "the status line is not on the screen ($shown pixels of its colour)"
say "window: fixed dialog frame, close button only, no taskbar button, 630x409 at 96 dpi, centred, Ready shown"

# The tooltip of the Extract button shows while the pointer rests on it.
xdotool windowfocus --sync "$window"
xdotool mousemove --window "$window" 540 320 sleep 0.2 mousemove --window "$window" 546 324
tip=0
for _ in $(seq 30); do
    tip=$(value "$(probe "$caption")" tooltip.visible)
    [[ $tip == 1 ]] && break
    sleep 0.1
done
[[ $tip == 1 ]] || fail "no tooltip over the Extract button"
say "the Extract button's tooltip shows"

# The second tab: its controls, and nothing of the first's.
xdotool mousemove --window "$window" 200 162 click 1
state=$(probe "$caption")
for check in IDontKnow.visible=1 IKnow.visible=0 tbID.visible=0 cbClear.visible=1 Found.visible=1; do
    expect "$state" "${check%%=*}" "${check#*=}" "the second tab"
done
xdotool mousemove --window "$window" 60 162 click 1
expect "$(probe "$caption")" IKnow.visible 1 "the first tab again"
say "the tabs show their own controls"

# --- Extract, the report, Clear Log, No Logs ---------------------------------------------------------------
xdotool mousemove --window "$window" 98 252 click 1 key --clearmodifiers ctrl+a
xdotool type --delay 30 1A2B3C
expect "$(probe "$caption")" tbID.text 1A2B3C "the ID box"
xdotool mousemove --window "$window" 546 324 click 1
box=$(find_window 'Remember To Clear Log Data' 60) || true
[[ -n $box ]] || fail "the reminder did not appear"
sleep 0.3
reminder=$(probe 'Remember To Clear Log Data')
expect "$reminder" owner visible "the reminder"
press_return "$box" 'Remember To Clear Log Data'
gone 'Remember To Clear Log Data'
state=$(probe "$caption")
expect "$state" cbClear.enabled 1 "after the extraction"
expect "$state" Found.text "" "after the extraction"

shopt -s nullglob
reports=("$documents"/Log*.CSV)
[[ ${#reports[@]} -eq 1 ]] || fail "expected one report in the documents folder, found ${#reports[@]}"
[[ $(basename "${reports[0]}") =~ ^Log[0-9]{14}\.CSV$ ]] || fail "unexpected report name $(basename "${reports[0]}")"
cmp "$reference" "${reports[0]}" || fail "the report differs from the Linux build's"
for _ in $(seq 30); do
    [[ -s $opened ]] && break
    sleep 0.1
done
grep -qiF "$(winepath -w "${reports[0]}")" "$opened" 2>/dev/null ||
    fail "the shell was not asked to open the report (got '$(cat "$opened" 2>/dev/null)')"
say "report $(basename "${reports[0]}") is byte for byte the Linux build's, and was opened through the shell"

if [[ -n $shot ]]; then
    xdotool mousemove 0 0
    sleep 0.5
    import -window "$window" "$shot"
    say "screenshot in $shot"
fi

xdotool mousemove --window "$window" 410 324 click 1
box=$(find_window 'Clear All Logs' 30) || true
[[ -n $box ]] || fail "the question before clearing did not appear"
sleep 0.3
question=$(probe 'Clear All Logs')
expect "$question" id6.text '&Yes' "the question before clearing"
expect "$question" id6.default 1 "the question before clearing"
expect "$question" id7.text '&No' "the question before clearing"
press_return "$box" 'Clear All Logs'
gone 'Clear All Logs'
xdotool mousemove --window "$window" 546 324 click 1
box=$(find_window 'No Logs' 60) || true
[[ -n $box ]] || fail "the second extraction did not say 'No Logs'"
press_return "$box" 'No Logs'
gone 'No Logs'
say "Clear Log with Yes cleared the module: the next Extract says No Logs"

# --- The remembered ID -------------------------------------------------------------------------------------
xdotool windowfocus --sync "$window" key --clearmodifiers alt+F4
ended 0 "closing the window"
wine reg query "$settings\\Settings" /v ID | tr -d '\r' | grep -qE '^ +ID +REG_SZ +1A2B3C$' ||
    fail "the typed ID is not in the registry: $(wine reg query "$settings\\Settings" /v ID 2>&1 | tr -d '\r')"
start --progid Z83TestStation.Station
window=$(find_window "$caption" 30) || true
[[ -n $window ]] || fail "the main window did not appear again"
sleep 0.3
expect "$(probe "$caption")" tbID.text 1A2B3C "after a restart"
xdotool windowfocus --sync "$window" key --clearmodifiers alt+F4
ended 0 "closing the window again"
say "the ID is remembered in the registry and shown again after a restart"

# --- The command line, and start-up failures ---------------------------------------------------------------
version=$(wine "$program" --version | tr -d '\r')
[[ $version =~ ^z83-log-extraction\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "--version printed '$version'"
status=0
wine "$program" --bogus >/dev/null 2>"$work/usage.txt" || status=$?
[[ $status -eq 2 ]] && grep -q "unknown argument '--bogus'" "$work/usage.txt" ||
    fail "an unknown option gave status $status and '$(cat "$work/usage.txt")'"
say "--version: '$version'; an unknown option: status 2 with the reason"

start --progid Z83DataProviderCOM.Missing
box=$(find_window z83-log-extraction 30) || true
[[ -n $box ]] || fail "no start-up box for a missing component"
sleep 0.3
text=$(value "$(probe z83-log-extraction)" id65535.text)
[[ $text == 'Z83DataProviderCOM.DLL possibly not registered!\nError: '*' [Code: -2147221005]' ]] ||
    fail "unexpected start-up message: $text"
press_return "$box" z83-log-extraction
ended 1 "a missing component"
wine reg query "$settings\\Settings" /v ID | tr -d '\r' | grep -qE 'REG_SZ +1A2B3C$' ||
    fail "a start-up failure changed the remembered ID"
say "a missing component: '${text%%\\n*}' with its code, status 1"

start --scenario "$(winepath -w scenarios/no-base-station.json)"
answer Warning
ended 1 "a scenario without a base station"
say "--scenario: the simulated station's start-up check ends the program"

# An error the component raises: reported with its number and description, and the program ends at once.
printf '{ "faults": [ { "operation": "OpenUSB", "kind": "raise", "error": { "number": -2147467259, "description": "Lost" } } ] }' \
    >"$work/raise.json"
start --scenario "$(winepath -w "$work/raise.json")"
box=$(find_window z83-log-extraction 30) || true
[[ -n $box ]] || fail "no box for an error the component raised"
sleep 0.3
expect "$(probe z83-log-extraction)" id65535.text 'Error -2147467259:\nLost' "an error the component raised"
press_return "$box" z83-log-extraction
ended 4 "an error the component raised"
say "an error the component raised: its number and description, status 4"

# --- The status line while an action keeps the program busy ------------------------------------------------
# A module without logs that pairs after 8 seconds; the probe reads what Windows holds, as the window
# does not answer until the action ends, and the screen must show the same.
printf '{ "pairing": { "module": "1A2B3C", "delay_seconds": 8 }, "modules": [ { "id": "1A2B3C" } ] }' \
    >"$work/slow-pairing.json"
start --scenario "$(winepath -w "$work/slow-pairing.json")"
window=$(find_window "$caption" 30) || true
[[ -n $window ]] || fail "the main window did not appear on the slow-pairing scenario"
xdotool windowfocus --sync "$window"
xdotool mousemove --window "$window" 200 162 click 1 sleep 0.3 mousemove --window "$window" 546 324 click 1
sleep 2
state=$(probe "$caption")
expect "$state" Found.text 'Waiting...' "while pairing"
expect "$state" cbClear.enabled 0 "while pairing"
# On the screen too: "Waiting..." spreads half as wide again as "Ready" in the same colour (140 and 93
# pixels at 96 dpi); a quarter wider tells them apart.
read -r shown waiting_width <<<"$(status_ink "$window" status-pairing)"
((shown > 200 && waiting_width * 4 > ready_width * 5)) ||
    fail "the screen does not show Waiting... while pairing ($shown pixels, $waiting_width wide; Ready: $ready_width)"
[[ -n $shot ]] && cp "$work/status-pairing.png" "${shot%.png}-pairing.png"
answer 'No Logs'
expect "$(probe "$caption")" Found.text "" "after pairing with a module without logs"
xdotool windowfocus --sync "$window" key --clearmodifiers alt+F4
ended 0 "closing the window after pairing"
say "while the module pairs the status line reads Waiting..., on the screen too ($waiting_width pixels wide, Ready $ready_width), and is empty after the action"

# --- Clear Log over flagged logs: the question says so, and its default button is No -------------------------
extract_from scenarios/bad-crc.json "on the bad-CRC scenario"
xdotool mousemove --window "$window" 410 324 click 1
box=$(find_window 'Clear All Logs' 30) || true
[[ -n $box ]] || fail "the question before clearing flagged logs did not appear"
sleep 0.3
question=$(probe 'Clear All Logs')
expect "$question" id7.default 1 "the question before clearing flagged logs"
[[ $(value "$question" id65535.text) == *'3 of the report'"'"'s 6 logs were not read correctly'* ]] ||
    fail "the question does not say what it would erase: $(value "$question" id65535.text)"
press_return "$box" 'Clear All Logs'
gone 'Clear All Logs'
xdotool mousemove --window "$window" 546 324 click 1
answer 'Remember To Clear Log Data' # Return answered No: the logs are all there
xdotool windowfocus --sync "$window" key --clearmodifiers alt+F4
ended 0 "closing the window after the flagged question"
say "Clear Log over flagged logs says how many and defaults to No"

# --- Without Arial Narrow, as on Windows without an office suite ---------------------------------------------
# Every label's and button's text fits its place in the designed fonts, and in the stand-in the window picks
# where the narrow face is missing (window_probe.exe measures what this system's fonts make of each text).
fit=$(wine "$probe_exe" --fit 2>/dev/null | tr -d '\r') || fail "a text does not fit its place: $(grep 'fits=0' <<<"$fit")"
replacements='HKCU\Software\Wine\Fonts\Replacements'
wine reg delete "$replacements" /v 'Arial Narrow' /f >/dev/null
fit=$(wine "$probe_exe" --fit 2>/dev/null | tr -d '\r') ||
    fail "without Arial Narrow a text does not fit its place: $(grep 'fits=0' <<<"$fit")"
grep -q '^Label2.fits=1 (.*, Arial [0-9]* wide)$' <<<"$fit" || fail "without Arial Narrow the stand-in is not Arial: $fit"
if [[ -n $shot ]]; then
    extract_from scenarios/demo.json "without Arial Narrow"
    xdotool mousemove 0 0
    sleep 0.5
    import -window "$window" "${shot%.png}-without-narrow.png"
    xdotool windowfocus --sync "$window" key --clearmodifiers alt+F4
    ended 0 "closing the window without Arial Narrow"
fi
wine reg add "$replacements" /v 'Arial Narrow' /d 'Liberation Sans Narrow' /f >/dev/null
say "every text fits its place, in the designed fonts and without Arial Narrow${shot:+ (${shot%.png}-without-narrow.png)}"

# --- Scaled with the system's dots per inch ----------------------------------------------------------------
dpi_setting='HKCU\Control Panel\Desktop'
wine reg add "$dpi_setting" /v LogPixels /t REG_DWORD /d 144 /f >/dev/null
wineserver -k && wineserver -w # the setting is read when the server starts
wineserver -p >/dev/null 2>&1
start --scenario "$(winepath -w scenarios/demo.json)"
window=$(find_window "$caption" 30) || true
[[ -n $window ]] || fail "the main window did not appear at 144 dpi"
sleep 0.3
state=$(probe "$caption")
wine reg delete "$dpi_setting" /v LogPixels /f >/dev/null
expect "$state" dpi 144 "at 144 dpi"
expect "$state" client 945x614 "at 144 dpi"
xdotool windowfocus --sync "$window" key --clearmodifiers alt+F4
ended 0 "closing the window at 144 dpi"
say "at 144 dpi the client area is 945x614"
say "all good"
