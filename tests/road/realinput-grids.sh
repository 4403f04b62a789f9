#!/usr/bin/env bash
# The advanced configuration grid and the data grids under the window system's own events
# (Xvfb, openbox, xdotool): an entry the grid refuses is given up by one Escape, whether its
# editor closed by Return or by a click on another cell, and OK then closes the window; a
# statistics column is widened by dragging its heading's edge. Pictures: the field lists with
# a long name and its tip, the advanced grid with numbers of many digits and the tip of one cut
# short, the box that refuses a time the program cannot read, the whole-table browser's headings
# with its Big Integer column wide enough for its digits. Then a table with a Time input, in a
# back-propagation and an SFAM project: a time typed as a limit in the advanced grid; in the
# what-if row under the results, times typed as the grid shows them, another field changed and
# put back: the row predicts what the test did.
#
#   realinput-grids.sh <korvan program> [folder for pictures and logs]
. "$(dirname "$0")/roadlib.sh" "$@"

# Fields: the key, an input, a long-named input, whole numbers of 10 and 16 digits declared
# BIGINT (an input like any number), one near the largest single-precision value, one whose
# mean rounds to nothing in a grid without decimals, times without the hour's leading zero (one
# a date whose day and month are in doubt), and the prediction.
sqlite3 "$W/wide.mdb" "CREATE TABLE Accounts (ID INTEGER PRIMARY KEY, x1 REAL,
     customer_account_balance_at_year_end REAL, Big BIGINT, Huge REAL, Rare REAL, Clock TIME, y REAL);" \
  "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300)
   INSERT INTO Accounts SELECT i, (i * 37) % 100 / 10.0, i * 1000.5,
          CASE i % 2 WHEN 0 THEN -2147483648 ELSE 9007199254740992 + i END, 3.4e38 - i * 1e31,
          CASE i WHEN 7 THEN 100.5 WHEN 8 THEN -0.5 ELSE 0 END,
          CASE i WHEN 9 THEN '05/01/1973' ELSE printf('%d:%02d', i % 24, i % 60) END,
          (i * 53) % 100 / 10.0 FROM n;" || fail "no data file"

# Shift times over the whole day (the input T, as SQLite's TIME), X, a class C by the half of
# the day, and y from both; 120 rows in the order the split takes them.
sqlite3 "$W/shifts.mdb" "CREATE TABLE Shifts (ID INTEGER PRIMARY KEY, T TIME, X REAL, C INTEGER, y REAL);" \
  "WITH RECURSIVE n(i, m) AS (SELECT 1, 437 UNION ALL SELECT i + 1, (i + 1) * 437 % 1440 FROM n WHERE i < 120)
   INSERT INTO Shifts SELECT i, printf('%02d:%02d:00', m / 60, m % 60), i % 5, 1 + (m >= 720),
          m / 60.0 + (i % 5) * 0.1 FROM n;" || fail "no data file of times"

# The headings of pane $2 (FixedPane or DataPane) of grid $1, left to right: column, x, y,
# width, height, current, caption; tab-separated.
headings_of() {
  awk -F'\t' -v p="$1/$2/" '$1=="heading" && index($2, p) {n = split($2, part, "/");
      print part[n] "\t" $4 "\t" $5 "\t" $6 "\t" $7 "\t" $9 "\t" $10}' "$MAP" 2>/dev/null | sort -t$'\t' -k2 -n
}
heading() { headings_of "$1" "$2" | awk -F'\t' -v c="$3" '$1 == c'; }
has_headings() { [ -n "$(headings_of "$1" "$2")" ]; }
# A click in the cell of row $3 (from 0) under heading $4 of pane $2 of grid $1; rows are 20
# pixels high below the headings.
click_cell() {
  local col x y w h
  IFS=$'\t' read -r col x y w h _ <<<"$(heading "$1" "$2" "$4")"
  [ -n "$col" ] || fail "no heading $4 in $1/$2"
  pointer_to $((x + w / 2)) $((y + h + 20 * $3 + 10))
  xdotool click 1
}
refusal_shown() { [ "$(status_text)" = "Not a number: 12,5" ]; }
no_refusal() { ! refusal_shown; }
advanced_up() { child_up frmConfigProj; }
advanced_gone() { ! child_up frmConfigProj; }
width_of() { heading "$1" "$2" "$3" | cut -f4; }
tip_up() { awk -F'\t' '$1=="window" && $3=="QTipLabel" {f=1} END {exit !f}' "$MAP" 2>/dev/null; }
no_tip() { ! tip_up; }

start_program

step "a new project over the table: its field lists"
menu f mnuNewBP
choose_file "Create New BackProp Project" "$W/Wide.kvp"
waitfor "the configuration window" child_up frmConfPrj
waitfor "Browse button" enabled widget cmdBrowse
click cmdBrowse
choose_file "Select Data Source" "$W/wide.mdb"
waitfor "fields of the table" enabled widget cmdAllToInput
# ID, x1, the long name, Big, Huge, Rare, Clock, y: x1 to Clock become the inputs, y the
# prediction.
click lstFields 30 8
xdotool key Down shift+Down shift+Down shift+Down shift+Down shift+Down
waitfor "the move button" enabled widget cmdOneToInput
click cmdOneToInput
waitfor "inputs" sh -c "[ \"\$(awk -F'\t' '\$2 ~ /cmdOneToInput\$/ {print \$8}' '$MAP')\" = 0 ]"
click lstFields 30 8
xdotool key End
waitfor "the prediction button" enabled widget cmdToPrediction
click cmdToPrediction
waitfor "OK of the configuration" enabled widget cmdOk
# The long name's tip, over the second entry of the input list.
click lstInput 30 8
pointer_to 5 5
read -r _ _ _ lx ly _ _ _ <<<"$(entry widget lstInput | tr '\t' ' ')"
pointer_to $((lx + 60)) $((ly + 26))
waitfor "the long name's tip" tip_up
read -r _ _ _ cx cy cw ch _ <<<"$(entry child frmConfPrj | tr '\t' ' ')"
settled_picture field-lists-long-name "$cx" "$cy" "$((cw + 250))" "$((ch + 40))"

step "the advanced grid"
click cmdAdvanced
waitfor "the advanced window" advanced_up
waitfor "the grid's headings" has_headings tgSFamCfg DataPane
waitfor "the grid's left headings" has_headings tgSFamCfg FixedPane
read -r _ _ _ ax ay aw ah _ <<<"$(entry child frmConfigProj | tr '\t' ' ')"
settled_picture advanced-grid "$ax" "$ay" "$aw" "$ah"

step "the tip of a number cut short: Big's Max, whole"
pointer_to 5 5
waitfor "no tip left over" no_tip
IFS=$'\t' read -r _ mx my mw mh _ <<<"$(heading tgSFamCfg DataPane 5)"
[ -n "${mx:-}" ] || fail "no heading Max"
pointer_to $((mx + mw / 2)) $((my + mh + 20 * 3 + 10))
waitfor "the whole number's tip" tip_up
settled_picture advanced-grid-tip "$ax" "$ay" "$((aw + 150))" "$((ah + 40))"
pointer_to 5 5

step "a statistics column widened by its heading's edge"
IFS=$'\t' read -r _ hx hy hw hh _ <<<"$(heading tgSFamCfg DataPane 6)"
[ -n "${hx:-}" ] || fail "no heading Avg"
before=$hw
pointer_to $((hx + hw - 1)) $((hy + hh / 2))
xdotool mousedown 1
pointer_to $((hx + hw + 30)) $((hy + hh / 2))
pointer_to $((hx + hw + 60)) $((hy + hh / 2))
xdotool mouseup 1
widened() { [ "$(width_of tgSFamCfg DataPane 6)" -gt "$before" ]; }
waitfor "the Avg column wider than $before pixels" widened
settled_picture advanced-grid-widened "$ax" "$ay" "$aw" "$ah"

step "a refused entry closed by Return, then Escape"
click_cell tgSFamCfg FixedPane 1 2 # User Min of x1
xdotool type --delay 40 "12,5"
xdotool key Return
waitfor "the refusal in the status bar" refusal_shown
xdotool key Escape
waitfor "the refusal given up by Escape" no_refusal

step "a refused entry closed by a click on another cell, then Escape"
click_cell tgSFamCfg FixedPane 1 3 # User Max of x1
xdotool type --delay 40 "12,5"
click_cell tgSFamCfg FixedPane 1 0
waitfor "the refusal in the status bar" refusal_shown
xdotool key Escape
waitfor "the refusal given up by Escape" no_refusal

step "OK closes the window"
click cmdOK
waitfor "the advanced window closed" advanced_gone

step "a time the program cannot read refused at OK, then OK once it is mended"
click cmdOk
waitfor "the box naming the value" window_active "Unreadable Value"
picture unreadable-value
xdotool key Return
waitfor "the box gone" sh -c "! awk -F'\t' '\$1==\"window\" && \$10==\"Unreadable Value\" {f=1} END {exit !f}' '$MAP'"
sql_is "$W/Wide.kvp" "SELECT COUNT(*) FROM FieldConfig WHERE UserMatchType = 1" 0 || fail "the refused OK wrote the roles"
sqlite3 "$W/wide.mdb" "UPDATE Accounts SET Clock = '9:09' WHERE ID = 9" || fail "the value not mended"

step "the whole-table browser"
click cmdOk
waitfor "split dialog" window_active "Split The Data"
xdotool key Escape
waitfor "the split dialog closed" sh -c "! awk -F'\t' '\$1==\"window\" && \$10==\"Split The Data\" {f=1} END {exit !f}' '$MAP'"
waitfor "Browse All Data" enabled tool mnuShowAll
click mnuShowAll
waitfor "the browser's headings" has_headings tgBrowse DataPane
read -r _ _ _ bx by bw bh _ <<<"$(awk -F'\t' '$1=="child" {print; exit}' "$MAP" | tr '\t' ' ')"
settled_picture whole-table-headings "$bx" "$by" "$bw" "$bh"
# Big opens wide enough for its 16 digits: rows one apart read apart.
big_wide() { [ "$(headings_of tgBrowse DataPane | awk -F'\t' '$7 == "Big" {print $4}')" -ge 150 ]; }
waitfor "the Big column wide enough for its digits" big_wide

# The text shown in the current row's cell $3 of pane $2 of grid $1.
cell_text() { awk -F'\t' -v n="$1/$2/$3" '$1=="cell" && substr($2, length($2) - length(n) + 1) == n {print $10; exit}' "$MAP" 2>/dev/null; }
column_named() { headings_of "$1" "$2" | awk -F'\t' -v t="$3" '$7 == t {print $1; exit}'; }
# What the what-if row predicts is what the test predicted for the results' current row.
same_prediction() { local p; p=$(cell_text tgIMode FixedPane 2); [ -n "$p" ] && [ "$p" = "$(cell_text tgBrowse FixedPane 2)" ]; }
same_prediction_saw() { echo "the what-if row predicts \"$(cell_text tgIMode FixedPane 2)\", the test \"$(cell_text tgBrowse FixedPane 2)\""; }
whatif_is() { [ "$(cell_text tgIMode DataPane "$1")" = "$2" ]; }
# Types $2 into the what-if row's cell of the results' column $1 and leaves it by Return. A
# person clicks the cell first, unless it is the one that has the keyboard already: a click on
# the current cell opens its editor a moment later, over what is being typed.
whatif_current() { awk -F'\t' -v n="tgIMode/DataPane/$1" '$1=="cell" && substr($2, length($2) - length(n) + 1) == n && $9==1 {f=1} END {exit !f}' "$MAP" 2>/dev/null; }
type_into_whatif() {
  local col x w iy ih
  IFS=$'\t' read -r col x _ w _ _ <<<"$(heading tgBrowse DataPane "$1")"
  read -r iy ih <<<"$(entry widget tgIMode | cut -f5,7 | tr '\t' ' ')"
  [ -n "$col" ] && [ -n "${ih:-}" ] || fail "no column $1 over the what-if row"
  if ! whatif_current "$1"; then
    pointer_to $((x + w / 2)) $((iy + ih / 2))
    xdotool click 1
    waitfor "the what-if row's $1 current" whatif_current "$1"
  fi
  xdotool type --delay 30 "$2"
  xdotool key Return
  waitfor "the what-if row's $1 at $2" whatif_is "$1" "$2"
}
# In the results of the project just tested, under the first row: another time typed into
# the what-if row, then the row's own; X changed and put back.
whatif_of_a_time() {
  waitfor "the results' headings" has_headings tgBrowse DataPane
  waitfor "the what-if row" has widget tgIMode
  local t x time value
  t=$(column_named tgBrowse DataPane T); x=$(column_named tgBrowse DataPane X)
  [ -n "$t" ] && [ -n "$x" ] || fail "no columns T and X in the results"
  time=$(cell_text tgBrowse DataPane "$t"); value=$(cell_text tgBrowse DataPane "$x")
  case "$time" in [0-2][0-9]:[0-5][0-9]:[0-5][0-9]) ;; *) fail "the first row's time reads '$time'" ;; esac
  # Another time, as the grid shows times, is taken and predicted; the row's own time typed
  # back gives the test's prediction.
  type_into_whatif "$t" "$([ "$time" = 03:00:00 ] && echo 04:00:00 || echo 03:00:00)"
  [ -z "$(status_text)" ] || fail "a time typed into the what-if row: '$(status_text)'"
  [ -n "$(cell_text tgIMode FixedPane 2)" ] || fail "no prediction for a time typed into the what-if row"
  type_into_whatif "$t" "$time"
  waitfor "the test's prediction for the row's time typed back" same_prediction
  type_into_whatif "$x" "$([ "$value" = 1 ] && echo 2 || echo 1)"
  type_into_whatif "$x" "$value"
  waitfor "the test's prediction with X put back" same_prediction
  [ -z "$(status_text)" ] || fail "the status reads '$(status_text)'"
  local ix iy iw ih
  read -r ix iy iw ih <<<"$(entry widget tgIMode | cut -f4-7 | tr '\t' ' ')"
  settled_picture "$1" "$ix" "$((iy - 60))" "$iw" "$((ih + 60))"
}

step "a BackProp project with a Time input: a time typed as its limit"
# In the advanced grid of the configured project: a time as the User Min of T.
time_limit_in_advanced() {
  click cmdAdvanced
  waitfor "the advanced window" advanced_up
  waitfor "the grid's left headings" has_headings tgSFamCfg FixedPane
  click_cell tgSFamCfg FixedPane 1 2 # User Min of T
  xdotool type --delay 40 "01:30:00"
  xdotool key Return
  limit_shown() { [ "$(cell_text tgSFamCfg FixedPane 2)" = "01:30:00" ]; }
  waitfor "the time limit shown as typed" limit_shown
  [ -z "$(status_text)" ] || fail "the time limit refused: $(status_text)"
  local ax ay aw ah
  read -r _ _ _ ax ay aw ah _ <<<"$(entry child frmConfigProj | tr '\t' ' ')"
  settled_picture advanced-grid-time "$ax" "$ay" "$aw" "$ah"
  click cmdOK
  waitfor "the advanced window closed" advanced_gone
}
menu f mnuNewBP
choose_file "Create New BackProp Project" "$W/Shifts.kvp"
waitfor "the configuration window" child_up frmConfPrj
# ID, T, X, C, y: T and X the inputs, y the prediction.
configure_project End "$W/shifts.mdb" time_limit_in_advanced
waitfor "split dialog" window_active "Split The Data"
split_rows
train_stop_finish "$W/Shifts.kvp"

step "the BackProp results: the row's time typed into the what-if row, X changed and put back"
menu v mnuBPBrowseTest
waitfor "the results browser" main_title_is "Korvan Pro - Shifts - [Browse Test Results]"
whatif_of_a_time whatif-time-backprop

step "an SFAM project over the times: the same what-if"
menu f mnuNewSFAM
waitfor "new-project dialog" window_active "Create New SFAM Project"
xdotool key Return
waitfor "the configuration window" child_up frmConfPrj
configure_project Down "$W/shifts.mdb"
waitfor "split dialog" window_active "Split The Data"
split_rows
train_sfam_finish "$(ls "$W"/KVProject*.kvp | head -1)"
menu v mnuSFBrowseTest
waitfor "the results browser" sh -c "case \"\$(awk -F'\t' '\$1==\"window\" && \$2==\"frmMain\" {print \$10}' '$MAP')\" in *'[Browse Test Results]') true;; *) false;; esac"
whatif_of_a_time whatif-time-sfam

exit_program
echo "road walked to its end"
