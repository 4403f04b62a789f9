#!/usr/bin/env bash
# Hostile input through the real windows: a path holding double quotes typed into the Import
# dialog is the file it names, a box about a field name of 100,000 characters fits on the
# screen with its OK button in reach, a new project named with double quotes has its name in the
# title, and a named pipe typed into the Open dialog gets one box
# and is never read (a read would hold the program until a writer came).
. "$(dirname "$0")/roadlib.sh" "$@"

mkdir -p "$W/say \"hi\""
CSV="$W/say \"hi\"/data \"q\".csv"
printf 'a,b\n1,2\n3,4\n' >"$CSV"
LONG=$(head -c 100000 /dev/zero | tr '\0' x)
printf '[TAGS]\n%s, %s\n[PATTERNS]\n1, 2\n' "$LONG" "${LONG^^}" >"$W/long.raw"

start_program

step "import a file whose path holds double quotes, typed into the dialog"
menu f mnuImport
choose_file "Import" "$CSV"
waitfor "the imported table" sql_is "$W/say \"hi\"/data \"q\".mdb" 'SELECT COUNT(*) FROM "data_""q"""' 2
import_done() { case "$(status_text)" in "Import to "*" successful.") return 0 ;; esac; return 1; }
waitfor "the status of a finished import" import_done
picture quoted-path-imported

step "a box that names a field of 100,000 characters"
menu f mnuImport
choose_file "Import" "$W/long.raw"
box_shown() { awk -F'\t' '$1=="window" && $10=="LoadRawFile" {f=1} END {exit !f}' "$MAP" 2>/dev/null; }
box_gone() { ! box_shown; }
waitfor "the box" window_found LoadRawFile
BOX=$FOUND
# The program's own account of the box tells when it is gone: a search of the X windows that
# gives up would tell it gone too.
waitfor "the box in the program's map" box_shown
xdotool windowactivate --sync "$BOX" 2>/dev/null
eval "$(xdotool getwindowgeometry --shell "$BOX")"
SCREEN_W=$(xdotool getdisplaygeometry | cut -d' ' -f1)
echo "box ${WIDTH}x${HEIGHT} at $X,$Y on a screen $SCREEN_W wide"
picture long-name-box
[ "$WIDTH" -le "$SCREEN_W" ] && [ "$X" -ge 0 ] && [ $((X + WIDTH)) -le "$SCREEN_W" ] \
  || fail "the box is ${WIDTH} wide at x $X on a screen $SCREEN_W wide"
waitfor "the box taking keys" window_active LoadRawFile
xdotool key Return
waitfor "the box closed" box_gone
[ -e "$W/long.mdb" ] && fail "a data file was made of the refused file"

step "a new project whose name holds double quotes has that name in the title"
menu f mnuNewBP
choose_file "Create New BackProp Project" "$W/say \"hi\".kvp"
waitfor "the project's title" main_title_is 'Korvan Pro - say "hi"'
[ "$(config_of "$W/say \"hi\".kvp" Type)" = 2 ] || fail "no BackProp project of that name"
waitfor "the configuration window" child_up frmConfPrj
waitfor "Cancel" enabled widget frmConfPrj/Frame1/cmdCancel
click frmConfPrj/Frame1/cmdCancel
conf_gone() { ! child_up frmConfPrj; }
waitfor "the configuration window closed" conf_gone
# A new project's configuration cancelled closes the project.
waitfor "no project" main_title_is "Korvan Pro"

step "a named pipe typed into the open dialog: one box, and the program answers"
mkfifo "$W/pipe.kvp"
menu f open
choose_file "Open Project" "$W/pipe.kvp"
waitfor "the box" window_found "File Open Error"
open_box_shown() { awk -F'\t' '$1=="window" && $10=="File Open Error" {f=1} END {exit !f}' "$MAP" 2>/dev/null; }
open_box_gone() { ! open_box_shown; }
waitfor "the box in the program's map" open_box_shown
waitfor "the box taking keys" window_active "File Open Error"
picture pipe-box
xdotool key Return
waitfor "the box closed" open_box_gone
[ "$(command xdotool search --name "$(title_pattern "File Open Error")" 2>/dev/null | wc -l)" -eq 0 ] ||
  fail "a second box came after the first"
activate_main
xdotool key alt+f
waitfor "the File menu" popup_up
xdotool key Escape
waitfor "menu closed" no_popup
main_title_is "Korvan Pro" || fail "the title is '$(main_title)' after the refused pipe"
[ -p "$W/pipe.kvp" ] || fail "the pipe was replaced"

exit_program
echo "road walked to its end"
