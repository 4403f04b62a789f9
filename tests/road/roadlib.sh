#!/usr/bin/env bash
# What every real-input road shares: its own X server (Xvfb) and window manager (openbox), a
# private home, the program's widget map, real clicks and keys (xdotool), pictures and checks.
# A road script sources it after setting nothing but its usage:
#
#   . "$(dirname "$0")/roadlib.sh" "$@"      # <korvan program> [folder for pictures and logs]
#
# Then `start_program` starts the program and waits until it takes keys.
set -u

KORVAN=$(realpath "${1:?usage: realinput.sh <korvan program> [artifacts folder]}")
WORK=$(mktemp -d "${TMPDIR:-/tmp}/korvan-road.XXXXXX")
ART=${2:-$WORK/artifacts}
mkdir -p "$ART"
# A step's wait: what normally comes in a moment may take many seconds on a machine whose cores
# are all busy; the limit only tells how long a road that has really failed takes to say so.
LIMIT=${ROAD_STEP_SECONDS:-60}
# The whole road ends well before CTest's own limit, so that it always cleans up after itself.
TOTAL=${ROAD_TOTAL_SECONDS:-200}
PIDS=()
STEP="start"
WAITED=""

for tool in Xvfb openbox xdotool xlogo sqlite3 import compare xprop xwininfo timeout; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps installs it)"; exit 1; }
done

cleanup() {
  local pid
  [ -n "${WATCHDOG:-}" ] && kill "$WATCHDOG" 2>/dev/null
  for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do
    pid=${PIDS[$i]}
    kill "$pid" 2>/dev/null
  done
  for pid in "${PIDS[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
  done
  if [ -z "${KEEP_ROAD:-}" ]; then rm -rf "$WORK"; fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# What the road sees when it stops: the program's windows as its map tells them, the window the
# window manager holds active, and whether the program, the window manager and the X server
# still run.
saw() {
  echo "--- what the road saw (${SECONDS}s into the road)"
  if [ -s "${MAP:-/nonexistent}" ]; then
    awk -F'\t' '$1=="window" {printf "window %s (%s)%s \"%s\"\n", $2, $3, ($9==1 ? " active" : ""), $10}
                $1=="child" {printf "child %s%s \"%s\"\n", $2, ($9==1 ? " active" : ""), $10}' "$MAP"
    echo "status text: \"$(status_text)\""
  else
    echo "no widget map yet"
  fi
  if [ -n "${DISPLAY:-}" ]; then
    echo "window manager's active window: \"$(timeout 5 xdotool getactivewindow getwindowname 2>&1)\""
  fi
  [ -n "${KPID:-}" ] && { kill -0 "$KPID" 2>/dev/null && echo "program running" || echo "program ended"; }
  [ -n "${WMPID:-}" ] && { kill -0 "$WMPID" 2>/dev/null || echo "window manager ended"; }
  [ -n "${XPID:-}" ] && { kill -0 "$XPID" 2>/dev/null || echo "X server ended"; }
}

fail() {
  echo "FAILED at step '$STEP': $*"
  [ -n "$WAITED" ] && echo "$WAITED"
  saw
  [ -n "${DISPLAY:-}" ] && timeout 20 import -display "$DISPLAY" -window root "$ART/failed.png" 2>/dev/null &&
    echo "picture: $ART/failed.png"
  cp "${MAP:-/nonexistent}" "$ART/failed-map.txt" 2>/dev/null && echo "map: $ART/failed-map.txt"
  local log
  for log in xvfb openbox korvan; do
    [ -s "$WORK/$log.log" ] && { echo "--- $log output"; tail -20 "$WORK/$log.log"; }
  done
  exit 1
}
# The watchdog's signal: the road has run out of its time wherever it stands.
trap 'fail "the road took more than ${TOTAL}s"' USR1

step() { STEP=$1; echo "== $STEP (${SECONDS}s)"; }

# What a condition of waitfor stands at now, for the report of a wait that ran out. A road's own
# condition may tell it through a function of its name followed by _saw.
condition_now() {
  if declare -F "$1_saw" >/dev/null; then "$1_saw" "${@:2}"; return; fi
  case "$1" in
    sql_is) echo "the query gives \"$(sql "$2" "$3" | tr '\n' ' ')\", wanted \"$(echo $4)\"" ;;
    main_title_is) echo "the main window's title is \"$(main_title)\"" ;;
    enabled | has) local e; e=$(entry "$2" "$3")
      [ -n "$e" ] && echo "$2 $3: $(echo "$e" | cut -f3-9 | tr '\t' ' ') \"$(echo "$e" | cut -f10)\"" || echo "no $2 $3 in the map" ;;
    has_control) has_control "$2" || echo "no control $2 in the map" ;;
    *) echo "the check ($*) still fails" ;;
  esac
}

# Polls "$@" until it succeeds; fails the road after LIMIT seconds.
waitfor() {
  local what=$1; shift
  local deadline=$((SECONDS + LIMIT))
  until "$@"; do
    if [ $SECONDS -ge $deadline ] || [ $SECONDS -ge "$TOTAL" ]; then
      WAITED="waited for: $what; $(condition_now "$@")"
      [ $SECONDS -ge $deadline ] && fail "no $what after ${LIMIT}s"
      fail "the road took more than ${TOTAL}s"
    fi
    sleep 0.1
  done
}

# xdotool's --sync waits on the X server without an end of its own: every call is bounded.
xdotool() {
  timeout "$LIMIT" xdotool "$@"
  local rc=$?
  [ $rc = 124 ] && fail "xdotool $* did not return within ${LIMIT}s"
  return $rc
}

# A private home and settings for everything the road starts, the window manager too: no other
# run's settings, lock or recent files, and no user's own window manager settings.
for d in home config data state cache runtime tmp work; do mkdir -p "$WORK/$d"; done
chmod 700 "$WORK/runtime"
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/config XDG_DATA_HOME=$WORK/data XDG_STATE_HOME=$WORK/state
export XDG_CACHE_HOME=$WORK/cache XDG_RUNTIME_DIR=$WORK/runtime TMPDIR=$WORK/tmp
unset SESSION_MANAGER

( trap 'kill $s 2>/dev/null; exit 0' TERM; sleep "$TOTAL" & s=$!; wait $s && kill -USR1 $$ ) &
WATCHDOG=$!

# --- The X server and the window manager -----------------------------------------------------
# The X server picks a free display itself and names it once it takes clients. It never resets:
# by default it resets whenever its last client leaves, and a client that connects while it
# does is refused - on a busy machine the window manager, started just after the check that
# the server answers, often was.
unset DISPLAY
step "X server and window manager"
Xvfb -displayfd 3 -noreset -screen 0 1400x1000x24 -nolisten tcp 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
XPID=$!
PIDS+=($XPID)
x_named() {
  grep -q '^[0-9][0-9]*$' "$WORK/display" 2>/dev/null && return
  kill -0 "$XPID" 2>/dev/null || fail "the X server ended at its start"
  return 1
}
waitfor "the X server's display number" x_named
export DISPLAY=":$(cat "$WORK/display")"
openbox >"$WORK/openbox.log" 2>&1 &
WMPID=$!
PIDS+=($WMPID)
# A window manager is there when the root names its check window and that window names itself
# (the window managers' own convention), and it still runs.
wm_ready() {
  local w
  kill -0 "$WMPID" 2>/dev/null || fail "the window manager ended at its start"
  w=$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | awk '/window id/ {print $NF}')
  [ -n "$w" ] && [ "$(xprop -id "$w" _NET_SUPPORTING_WM_CHECK 2>/dev/null | awk '/window id/ {print $NF}')" = "$w" ]
}
waitfor "window manager" wm_ready
W=$WORK/work
export QT_QPA_PLATFORM=xcb
MAP=$WORK/map.txt
export KORVAN_WIDGET_MAP=$MAP

# --- Reading the program's map ----------------------------------------------------------------
# Fields: kind, name, class, x, y, width, height, enabled, active-or-checked, text.
entry() { awk -F'\t' -v k="$1" -v n="$2" '$1==k && ($2==n || substr($2, length($2)-length(n)) == "/" n) {print; exit}' "$MAP" 2>/dev/null; }
has() { [ -n "$(entry "$1" "$2")" ]; }
enabled() { [ "$(entry "$1" "$2" | cut -f8)" = 1 ]; }
field() { entry "$1" "$2" | cut -f"$3"; }
# A top-level window by its exact title, the active one.
window_active() { awk -F'\t' -v t="$1" '$1=="window" && $10==t && $9==1 {f=1} END {exit !f}' "$MAP" 2>/dev/null; }
main_title() { awk -F'\t' '$1=="window" && $2=="frmMain" {print $10; exit}' "$MAP" 2>/dev/null; }
main_title_is() { [ "$(main_title)" = "$1" ]; }
main_active() { [ "$(field window frmMain 9)" = 1 ]; }
child_up() { awk -F'\t' -v n="$1" '$1=="child" && ($2==n || $3==n) {f=1} END {exit !f}' "$MAP" 2>/dev/null; }
# The active child of the main window, as the child area itself reports it.
child_active() { awk -F'\t' -v n="$1" '$1=="child" && ($2==n || $3==n) && $9==1 {f=1} END {exit !f}' "$MAP" 2>/dev/null; }
popup_up() { awk -F'\t' '$1=="window" && $3=="QMenu" {f=1} END {exit !f}' "$MAP" 2>/dev/null; }
no_popup() { ! popup_up; }
status_text() { field widget Main 10 | sed 's/^ *//; s/ *$//'; }

# --- Real input --------------------------------------------------------------------------------
# A click at the middle of a control (or at dx, dy from its top left corner).
# A control is clicked once the map shows it, as a person waits to see it.
control_kind() {
  if has item "$1"; then echo item; elif has tool "$1"; then echo tool; elif has widget "$1"; then echo widget; else return 1; fi
}
has_control() { control_kind "$1" >/dev/null; }
# The pointer moved to x, y. xdotool's --sync waits for the pointer to be seen moving: 15 s
# when it stands there already (a second click on the same spot).
pointer_to() {
  local X Y SCREEN WINDOW
  eval "$(xdotool getmouselocation --shell)"
  [ "$X" = "$1" ] && [ "$Y" = "$2" ] || xdotool mousemove --sync "$1" "$2"
}
click() {
  waitfor "control $1 to click" has_control "$1"
  local kind e; kind=$(control_kind "$1") || fail "no control $1 to click"
  e=$(entry $kind "$1")
  [ -n "$e" ] || fail "no control $1 to click"
  local x y w h
  IFS=$'\t' read -r _ _ _ x y w h _ <<<"$e"
  local dx=${2:-$((w / 2))} dy=${3:-$((h / 2))}
  pointer_to $((x + dx)) $((y + dy))
  xdotool click "${4:-1}"
}
double_click() {
  waitfor "control $1 to double-click" has widget "$1"
  local e x y w h; e=$(entry widget "$1"); [ -n "$e" ] || fail "no control $1"
  IFS=$'\t' read -r _ _ _ x y w h _ <<<"$e"
  pointer_to $((x + w / 2)) $((y + h / 2))
  xdotool click --repeat 2 --delay 60 1
}
right_click_at() { pointer_to "$1" "$2"; xdotool click 3; }
# The X window of the main window in MAINID. xdotool's search gives up on the first window that
# goes while it walks the tree (a dialog that closes), so it is tried again.
main_window_found() { MAINID=$(command xdotool search --name '^Korvan Pro' 2>/dev/null | head -1); [ -n "$MAINID" ]; }
# The X window titled exactly $1 in FOUND.
window_found() { FOUND=$(command xdotool search --name "$(title_pattern "$1")" 2>/dev/null | head -1); [ -n "$FOUND" ]; }
activate_main() {
  waitfor "the main window among the X windows" main_window_found
  xdotool windowactivate --sync "$MAINID" 2>/dev/null
  waitfor "active main window" main_active
}
# A menu of the menu bar opened with its Alt key, then an item clicked by its tool name.
menu() {
  activate_main
  xdotool key "alt+$1"
  waitfor "item $2 of the menu" enabled item "$2"
  click "$2"
  waitfor "menu closed" no_popup
}
# Types a full path into the name box of the file dialog titled $1 and presses Enter.
choose_file() {
  waitfor "dialog '$1'" window_active "$1"
  xdotool key --delay 30 ctrl+a
  xdotool type --delay 15 "$2"
  xdotool key Return
}
picture() { timeout "$LIMIT" import -window root "$ART/$1.png" || fail "no picture $1"; }
# A picture of a rectangle of the screen: name, x, y, width, height.
picture_of() { timeout "$LIMIT" import -window root -crop "${4}x${5}+${2}+${3}" +repage "$ART/$1.png" || fail "no picture $1"; }
# The same rectangle taken until two pictures in a row agree: the window has done drawing.
settled_picture() {
  local deadline=$((SECONDS + LIMIT))
  picture_of "$1" "$2" "$3" "$4" "$5"
  while :; do
    sleep 0.3
    picture_of "$1-again" "$2" "$3" "$4" "$5"
    same_pictures "$1" "$1-again" && { rm -f "$ART/$1-again.png"; return; }
    mv "$ART/$1-again.png" "$ART/$1.png"
    [ $SECONDS -lt $deadline ] || fail "the picture $1 never settled"
  done
}
same_pictures() { [ "$(compare -metric AE "$ART/$1.png" "$ART/$2.png" null: 2>&1)" = 0 ]; }
sql() { sqlite3 -readonly "$1" "$2" 2>/dev/null; }
sql_is() { [ "$(sql "$1" "$2")" = "$3" ]; }
config_of() { sql "$1" "SELECT sValue FROM Config WHERE Property='$2'"; }

# The configuration window of a new project: the table of the database chosen through Browse,
# whose fields read IndexCounter1, x1, x2, cls, y; x1 and x2 become the inputs, then the key
# given (End for y, Down for cls) picks the prediction among IndexCounter1, cls, y; then OK.

# The other program of the visits, each under a title of its own.
VISITS=0
visit_another_program() {
  VISITS=$((VISITS + 1))
  local title="another program $VISITS"
  xlogo -title "$title" -geometry 200x200+1150+750 >/dev/null 2>&1 &
  PIDS+=($!)
  waitfor "the other program's window" window_found "$title"
  xdotool windowactivate --sync "$FOUND" 2>/dev/null
  waitfor "the program losing the user" sh -c "! awk -F'\t' '\$1==\"window\" && \$2==\"frmMain\" && \$9==1 {f=1} END {exit !f}' '$MAP'"
  activate_main
  kill "${PIDS[-1]}" 2>/dev/null
}


# --- Steps of many roads ----------------------------------------------------------------------
# In the open configuration window, over the table that a CSV whose first two fields are the
# inputs made of the database $2: that database, the inputs (the second and third items of the
# field list, after the import's counter), then the prediction, the item that the key $1
# reaches from the first of the items left (End: the last field), then the step $3 when given
# (a function of the road), and OK.
configure_project() {
  waitfor "Browse button" enabled widget cmdBrowse
  click cmdBrowse
  choose_file "Select Data Source" "$2"
  waitfor "fields of the table" enabled widget cmdAllToInput
  # The list reads IndexCounter1, the two inputs, the other fields.
  click lstFields 30 8
  xdotool key Down shift+Down
  waitfor "the move button" enabled widget cmdOneToInput
  click cmdOneToInput
  # Then IndexCounter1 and the other fields: the prediction.
  waitfor "inputs" sh -c "[ \"\$(awk -F'\t' '\$2 ~ /cmdOneToInput\$/ {print \$8}' '$MAP')\" = 0 ]"
  click lstFields 30 8
  xdotool key "$1"
  waitfor "the prediction button" enabled widget cmdToPrediction
  click cmdToPrediction
  waitfor "OK of the configuration" enabled widget cmdOk
  [ -z "${3:-}" ] || "$3"
  click cmdOk
}

# In the open split dialog over 120 rows: training rows up to 90, testing from 91, and OK.
split_rows() {
  edit_box dsTrainSet/txtBottomNum 90
  edit_box dsTestSet/txtTopNum 91
  waitfor "rows selected" sh -c "[ \"\$(awk -F'\t' '\$2 ~ /lblTestRows\$/ {print \$10}' '$MAP')\" = 30 ]"
  click cmdOK
}


# Starts the program in the work folder and waits until it takes keys: the first click on the
# status bar hides the splash window, and keys sent while the splash is up go nowhere. The main
# window's title to wait for may be given (a project the recent list reopens).
start_program() {
  step "start"
  no_sanitizer_report
  launch
  waitfor "main window" main_title_is "${1:-Korvan Pro}"
  splash_gone
  activate_main
}

# Starts the program in the background (with the environment given as arguments, NAME=value).
launch() {
  # The map a program ended by a signal left behind would answer for the new one (the same
  # title when a project reopens) until the new one writes its own.
  rm -f "$MAP"
  (cd "$W" && exec env "$@" "$KORVAN") >"$WORK/korvan.log" 2>&1 &
  KPID=$!
  PIDS+=($KPID)
}

# Waits for the status bar and clicks it, which hides the splash window, then waits until it is gone.
splash_gone() {
  waitfor "status bar" has widget MainStatusBar
  click MainStatusBar
  waitfor "splash gone" sh -c "! grep -q $'^window\tfrmSplash' '$MAP'"
}

# Ends the program through File > Exit and waits until it is gone.
exit_program() {
  step "exit"
  activate_main
  xdotool key alt+f
  waitfor "item Exit of the menu" enabled item exit
  click exit
  waitfor "the program's end" program_ended
  wait $KPID || fail "the program ended with status $?"
  no_sanitizer_report
}
program_ended() { ! kill -0 "$KPID" 2>/dev/null; }

# Where the window manager's close box of the top-level window titled $1 stands ("x y"), from
# the window system's own account of the window and of its frame: the program's own idea of its
# frame can lag behind the window manager's, or stay wrong, on a busy machine.
title_pattern() { printf '^%s$' "$(printf '%s' "$1" | sed 's/[][\\.*^$+?(){}|]/\\&/g')"; }
frame_known() {
  FRAMED=$(command xdotool search --name "$(title_pattern "$1")" 2>/dev/null | head -1)
  [ -n "$FRAMED" ] && xprop -id "$FRAMED" _NET_FRAME_EXTENTS 2>/dev/null | grep -q '= [0-9]'
}
close_box_of() {
  waitfor "the window manager's frame of '$1'" frame_known "$1"
  local id=$FRAMED x y w left right top
  # xwininfo, not xdotool, tells where a framed window stands: xdotool adds the frame twice.
  read -r x y w <<<"$(xwininfo -id "$id" | awk -F: '/Absolute upper-left X/ {x = $2} /Absolute upper-left Y/ {y = $2}
                                                  /^ *Width/ {w = $2} END {print x, y, w}')"
  IFS=', ' read -r left right top _ <<<"$(xprop -id "$id" _NET_FRAME_EXTENTS | sed 's/.*= //')"
  echo "$((x + w + right - 12)) $((y - top + 10))"
}

# A sanitized build's program writes its reports into its output and may still end as asked:
# a road that saw one fails, with the whole report.
no_sanitizer_report() {
  if grep -q -e '^==[0-9]*==ERROR: ' -e ' runtime error: ' "$WORK/korvan.log" 2>/dev/null; then
    echo "--- sanitizer report"
    cat "$WORK/korvan.log"
    fail "the program reported a fault"
  fi
}

# In the open training window of a BackProp project: Train, Stop at once, and wait for Finish.
train_stop() {
  waitfor "the training window" child_up frmTrainBP
  waitfor "Train tool" enabled tool mnuTrainBPTrain
  click mnuTrainBPTrain
  waitfor "a running training" enabled tool mnuTrainBPStop
  click mnuTrainBPStop
  waitfor "Finish" enabled tool mnuTrainBPExit
}

# In the open training window of a BackProp project just split by split_rows: Train, Stop at
# once, Finish, and wait for the 30 test rows in the project $1.
train_stop_finish() {
  train_stop
  click mnuTrainBPExit
  waitfor "the test results" sql_is "$1" "SELECT COUNT(*) FROM Test" 30
}

# In the open training window of an SFAM project just split by split_rows: Train until it ends
# by itself, Finish, and wait for the 30 test rows in the project $1.
train_sfam_finish() {
  waitfor "the SFAM training window" child_up frmTrainSF
  waitfor "Train tool" enabled tool mnuTrainBPTrain
  click mnuTrainBPTrain
  waitfor "the end of the SFAM training" enabled tool mnuTrainBPExit
  click mnuTrainBPExit
  waitfor "the SFAM test results" sql_is "$1" "SELECT COUNT(*) FROM Test" 30
}

# A number box of the split dialog's range selectors, opened by a double click, given the text
# $2 and closed by Return. The double click is sent again when the box stays shut: on a busy
# machine xdotool may be held between its two clicks longer than a double click lasts, and the
# program rightly sees two single clicks.
box_opened() {
  enabled widget "$1" && return
  if [ $SECONDS -ge "$BOX_AGAIN" ]; then
    double_click "$1"
    BOX_AGAIN=$((SECONDS + 5))
  fi
  return 1
}
box_shut() { ! enabled widget "$1"; }
edit_box() {
  BOX_AGAIN=0
  waitfor "box $1 open for typing" box_opened "$1"
  xdotool key --delay 30 ctrl+a
  xdotool type --delay 20 "$2"
  xdotool key Return
  waitfor "box $1 closed by Return" box_shut "$1"
}
