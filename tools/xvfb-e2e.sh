#!/usr/bin/env bash
# Drives the window program like a user, under a virtual X server with a window manager (openbox): type
# the demo module's ID, press Extract, dismiss the reminder, check the report in the documents folder,
# close the window. On the way it checks what only a window manager shows: a close button alone on the
# window and its boxes, boxes centred on the window (or on the screen at start-up), and a box that stays
# on the screen when the module sends a model text of a million characters.
# With the extractor as well, a second extraction and a clear in the window, then three modules from the
# extractor, must give six journal entries whose SHA-256s match the reports, until one is edited.
# Usage: xvfb-e2e.sh PROGRAM [--screenshots DIR] [--extractor PATH]   (DIR receives window.png and reminder.png)
# Needs xvfb-run, openbox, xdotool, xprop and python3 (to ask the window to close as a window manager
# would); import (ImageMagick) only for screenshots. Exits non-zero on any failure.
set -euo pipefail

program=${1:?usage: xvfb-e2e.sh PROGRAM [--screenshots DIR] [--extractor PATH]}
shift
shots= extractor=
while [[ $# -gt 0 ]]; do
    case $1 in
    --screenshots) shots=$(realpath -m "${2:?--screenshots needs a folder}") && mkdir -p "$shots" ;;
    --extractor) extractor=$(realpath "${2:?--extractor needs the program}") ;;
    *) echo "xvfb-e2e: unknown option $1" >&2 && exit 2 ;;
    esac
    shift 2
done
scenarios=$(cd "$(dirname "$0")/../scenarios" && pwd)

if [[ -z ${Z83_E2E_INSIDE_X:-} ]]; then
    program=$(realpath "$program")
    export Z83_E2E_INSIDE_X=1
    exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$program" ${shots:+--screenshots "$shots"} \
        ${extractor:+--extractor "$extractor"}
fi

say() { echo "xvfb-e2e: $*"; }
fail() {
    echo "xvfb-e2e: FAIL: $*" >&2
    [[ -n $shots ]] && import -window root "$shots/failure.png" 2>/dev/null
    [[ -f $work/program.log ]] && sed 's/^/  program: /' "$work/program.log" >&2
    exit 1
}

work=$(mktemp -d)
pid=
cleanup() {
    [[ -n $pid ]] && kill "$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A home of its own, so nothing of the real user's is read or written.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME/Documents" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION
# Opening the report goes to a stand-in that only notes which file it was given.
mkdir -p "$work/bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >> "%s/opened.txt"\n' "$work" > "$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
export PATH=$work/bin:$PATH

# Asks a window to close the way a window manager's close button does (WM_DELETE_WINDOW).
close_window() {
    python3 - "$1" <<'PY'
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
x.XFlush.argtypes = [ctypes.c_void_p]
x.XCloseDisplay.argtypes = [ctypes.c_void_p]

class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

class XEvent(ctypes.Union):
    _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

display = x.XOpenDisplay(None)
if not display:
    sys.exit("cannot open the display")
window = int(sys.argv[1])
event = XEvent()
event.xclient.type = 33  # ClientMessage
event.xclient.window = window
event.xclient.message_type = x.XInternAtom(display, b"WM_PROTOCOLS", 0)
event.xclient.format = 32
event.xclient.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
x.XSendEvent(display, window, 0, 0, ctypes.byref(event))
x.XFlush(display)
x.XCloseDisplay(display)
PY
}

find_window() { timeout "$2" xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1; }

# The window manager, so that frames, buttons and placement are the ones a desktop gives.
openbox >/dev/null 2>&1 &
for _ in $(seq 300); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done

# x y width height of a window's frame, from xdotool (the client area) and the frame extents.
frame_of() {
    local x y w h l r t b
    eval "$(xdotool getwindowgeometry --shell "$1" | sed -n 's/^\(X\|Y\|WIDTH\|HEIGHT\)=/\1=/p')"
    read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
    echo "$((X - l)) $((Y - t)) $((WIDTH + l + r)) $((HEIGHT + t + b))"
}

# The window shows a close button and neither minimise nor maximise.
expect_close_only() {
    local actions
    actions=$(xprop -id "$1" _NET_WM_ALLOWED_ACTIONS)
    [[ $actions == *_NET_WM_ACTION_CLOSE* ]] || fail "$2 has no close button: $actions"
    [[ $actions != *MINIMIZE* && $actions != *MAXIMIZE* ]] || fail "$2 can be minimised or maximised: $actions"
}

# The window's frame is centred on the area "x y width height", within a few pixels; with "unframed" as $4
# (placed before any frame of the window manager was known) within half its title bar.
expect_centred() {
    local bx by bw bh ax ay aw ah top slack=2
    read -r bx by bw bh < <(frame_of "$1")
    read -r ax ay aw ah <<<"$2"
    if [[ ${4:-} == unframed ]]; then
        read -r _ _ top _ < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
        slack=$((top / 2 + 2))
    fi
    local dx=$(((bx + bw / 2) - (ax + aw / 2))) dy=$(((by + bh / 2) - (ay + ah / 2)))
    ((dx * dx <= slack * slack && dy * dy <= slack * slack)) ||
        fail "$3 at $bx,$by ${bw}x$bh is not centred on $2 (off by $dx,$dy)"
}

screen=$(xdotool getdisplaygeometry)
screen_area="0 0 $screen"

# Start-up on a station without a base station: its box is centred on the screen, with a close button only.
printf '{ "base_station": { "present": false } }' >"$work/no-base.json"
"$program" --scenario "$work/no-base.json" >"$work/program.log" 2>&1 &
pid=$!
box=$(find_window 'Warning' 20) || true
[[ -n $box ]] || fail "the start-up box did not appear"
sleep 0.3
expect_close_only "$box" "the start-up box"
expect_centred "$box" "$screen_area" "the start-up box" unframed
xdotool windowfocus --sync "$box" key Return
wait "$pid" || true
pid=
say "start-up box centred on the screen with a close button only"

# A model text of a million characters: the box shortens it and stays within the screen.
printf '{ "modules": [ { "id": "1A2B3C" } ], "faults": [ { "command": "3", "kind": "huge_reply" } ] }' >"$work/huge-model.json"
"$program" --scenario "$work/huge-model.json" >"$work/program.log" 2>&1 &
pid=$!
window=$(find_window 'Tarnwell Z83-PM-VX Log Extraction' 20) || true
[[ -n $window ]] || fail "the main window did not appear"
xdotool windowfocus --sync "$window"
xdotool mousemove --window "$window" 98 252 click 1 key --clearmodifiers ctrl+a type 1A2B3C
xdotool mousemove --window "$window" 546 324 click 1
box=$(find_window 'Warning' 30) || true
[[ -n $box ]] || fail "the unsupported-model box did not appear"
sleep 0.3
read -r _ _ bw _ < <(frame_of "$box")
((bw <= ${screen% *})) || fail "the unsupported-model box is ${bw} pixels wide, wider than the screen"
[[ -n $shots ]] && import -window "$box" "$shots/long-model.png"
xdotool windowfocus --sync "$box" key Return
close_window "$window"
wait "$pid" || true
pid=
say "a million-character model gives a box ${bw} pixels wide"

"$program" >"$work/program.log" 2>&1 &
pid=$!

window=$(find_window 'Tarnwell Z83-PM-VX Log Extraction' 20) || true
[[ -n $window ]] || fail "the main window did not appear"
say "main window $window is up"
sleep 0.3
expect_close_only "$window" "the main window"
expect_centred "$window" "$screen_area" "the main window" unframed
xdotool windowfocus --sync "$window"

# Places at 96 dpi: the ID box and the Extract button of the first tab.
xdotool mousemove --window "$window" 98 252 click 1
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 30 1A2B3C
xdotool mousemove --window "$window" 546 324 click 1
say "typed 1A2B3C and pressed Extract"

reminder=$(find_window 'Remember To Clear Log Data' 30) || true
[[ -n $reminder ]] || fail "the reminder did not appear"
sleep 0.5
expect_close_only "$reminder" "the reminder"
expect_centred "$reminder" "$(frame_of "$window")" "the reminder"
say "the reminder is centred on the window with a close button only"
[[ -n $shots ]] && import -window "$reminder" "$shots/reminder.png"
xdotool windowfocus --sync "$reminder"
xdotool key Return
for _ in $(seq 300); do
    xdotool search --onlyvisible --name '^Remember To Clear Log Data$' >/dev/null 2>&1 || break
    sleep 0.1
done
xdotool search --onlyvisible --name '^Remember To Clear Log Data$' >/dev/null 2>&1 && fail "the reminder did not go away"
say "reminder dismissed"

shopt -s nullglob
reports=("$HOME"/Documents/Log*.CSV)
[[ ${#reports[@]} -eq 1 ]] || fail "expected one report in Documents, found ${#reports[@]}"
report=${reports[0]}
[[ $(basename "$report") =~ ^Log[0-9]{14}\.CSV$ ]] || fail "unexpected report name $(basename "$report")"
header=$(head -n 1 "$report" | tr -d '\r')
[[ $header == 'Log Number,Start Date,Start Time,Peak Date,Peak Time,End Date,End Time,Peak,Overload' ]] ||
    fail "unexpected header: $header"
data_lines=$(tail -n +2 "$report" | tr -d '\r' | grep -c -E '^[0-9]+,' || true)
[[ $data_lines -eq 25 ]] || fail "expected 25 data lines, found $data_lines"
[[ $(tail -c 4 "$report" | od -An -c | tr -d ' ') == '\r\n\r\n' ]] || fail "the report does not end with an empty line"
for _ in $(seq 300); do
    [[ -s $work/opened.txt ]] && break
    sleep 0.1
done
opened=$(head -n 1 "$work/opened.txt" 2>/dev/null || true)
[[ $opened == "$report" || $opened == "file://$report" ]] || fail "the report was not handed to the desktop to open (got '$opened')"
say "report $(basename "$report") holds the header and 25 lines"

[[ -n $shots ]] && { sleep 0.3; import -window "$window" "$shots/window.png"; }

# A second extraction, then Clear Log answered with Yes (its default): three journal entries.
xdotool windowfocus --sync "$window"
xdotool mousemove --window "$window" 546 324 click 1
reminder=$(find_window 'Remember To Clear Log Data' 30) || true
[[ -n $reminder ]] || fail "the reminder of the second extraction did not appear"
xdotool windowfocus --sync "$reminder" key Return
for _ in $(seq 300); do
    xdotool search --onlyvisible --name '^Remember To Clear Log Data$' >/dev/null 2>&1 || break
    sleep 0.1
done
xdotool windowfocus --sync "$window"
xdotool mousemove --window "$window" 410 324 click 1
question=$(find_window 'Clear All Logs' 30) || true
[[ -n $question ]] || fail "Clear Log did not ask"
xdotool windowfocus --sync "$question" key Return
say "extracted again and cleared"

close_window "$window"
for _ in $(seq 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "the program did not end after its window was closed"
status=0
wait "$pid" || status=$?
pid=
[[ $status -eq 0 ]] || fail "the program ended with status $status"
grep -q '^ID=1A2B3C' "$XDG_CONFIG_HOME/$(basename "$program")/$(basename "$program").conf" ||
    fail "the typed ID was not remembered"
say "window closed, ID remembered"

journal=$XDG_DATA_HOME/z83-log-extraction/journal.jsonl
# Each entry's kind and outcome, and whether its report's SHA-256 and size are those of the file now.
entries() {
    python3 - "$journal" <<'PY'
import hashlib, json, sys
for line in open(sys.argv[1], encoding="utf-8"):
    e = json.loads(line)
    r = e.get("report", {})
    data = open(r["path"], "rb").read()
    same = hashlib.sha256(data).hexdigest() == r["sha256"] and r.get("size", len(data)) == len(data)
    print(e["front_end"], e["kind"], e["module"], e["outcome"], "matches" if same else "differs")
PY
}
expected="window extraction 1A2B3C saved matches
window extraction 1A2B3C saved matches
window clear 1A2B3C cleared matches"
[[ $(entries) == "$expected" ]] || fail "the window's journal: $(entries)"
if [[ -n $extractor ]]; then
    "$extractor" --id 1A2B3C --id 2B3C4D --id 3C4D5E --scenario "$scenarios/three-modules.json" -q >"$work/paths" ||
        fail "the extractor failed on three modules"
    expected+="
extractor extraction 1A2B3C saved matches
extractor extraction 2B3C4D saved matches
extractor extraction 3C4D5E saved matches"
    [[ $(entries) == "$expected" ]] || fail "the journal after the extractor: $(entries)"
    "$extractor" --journal --verify >"$work/verify" || fail "--journal --verify: $(cat "$work/verify")"
    printf 'x' >>"$(sed -n 2p "$work/paths")"
    status=0
    "$extractor" --journal --verify >"$work/verify" || status=$?
    [[ $status -eq 12 ]] || fail "--journal --verify after an edit: status $status"
    grep -q "^changed .*-2B3C4D.CSV" "$work/verify" || fail "--journal --verify did not name the edited report"
    say "six journal entries match their reports; --verify passes, and fails once a report is edited"
fi
say "all good"
