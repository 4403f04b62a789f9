#!/usr/bin/env bash
# The results grid under the window system's own events (Xvfb, openbox, xdotool) over a table
# wider than the grid: a click on the half-shown right-most column moves the data pane by whole
# columns (no column cut at its left edge, no heading over cells that look empty); a click on a
# heading makes its column the one that Sort and Find take, in either pane; what is typed into
# the Find box is searched as typed, not completed from the earlier searches.
#
#   realinput-grid.sh <korvan program> [folder for pictures and logs]
. "$(dirname "$0")/roadlib.sh" "$@"

# The headings of a pane of the grid ($1: DataPane or FixedPane) that show, left to right, one a
# line: column, x, y, width, height, current (1 or 0), caption; tab-separated.
headings_of() {
  awk -F'\t' -v p="tgBrowse/$1/" '$1=="heading" && index($2, p) {n = split($2, part, "/");
      print part[n] "\t" $4 "\t" $5 "\t" $6 "\t" $7 "\t" $9 "\t" $10}' "$MAP" 2>/dev/null | sort -t$'\t' -k2 -n
}
# The band of a pane's headings: x and width.
band_of() { awk -F'\t' -v p="tgBrowse/$1" '$1=="headings" && substr($2, length($2) - length(p) + 1) == p {print $4 "\t" $6; exit}' "$MAP" 2>/dev/null; }
heading() { headings_of "$1" | awk -F'\t' -v c="$2" '$1 == c'; }
column_named() { headings_of "$1" | awk -F'\t' -v t="$2" '$7 == t {print $1; exit}'; }
# No column of the data pane is cut by its left edge.
left_column_whole() {
  local bx bw x
  IFS=$'\t' read -r bx bw <<<"$(band_of DataPane)"
  x=$(headings_of DataPane | head -1 | cut -f2)
  [ -n "$x" ] && [ -n "$bx" ] && [ "$x" -eq "$bx" ]
}
# The data pane shows its column $1 whole.
column_whole() {
  local bx bw col x w
  IFS=$'\t' read -r bx bw <<<"$(band_of DataPane)"
  IFS=$'\t' read -r col x _ w _ <<<"$(heading DataPane "$1")"
  [ -n "$col" ] && [ "$x" -ge "$bx" ] && [ $((x + w)) -le $((bx + bw)) ]
}
current_column_is() { [ "$(headings_of "$1" | awk -F'\t' '$6 == 1 {print $1}')" = "$2" ]; }
# A left click on the shown part of the heading of column $2 of pane $1.
click_heading() {
  local bx bw col x y w h
  IFS=$'\t' read -r bx bw <<<"$(band_of "$1")"
  IFS=$'\t' read -r col x y w h _ <<<"$(heading "$1" "$2")"
  [ -n "$col" ] || fail "no heading of column $2 in $1"
  local right=$((x + w < bx + bw ? x + w : bx + bw))
  pointer_to $(((x + right) / 2)) $((y + h / 2))
  xdotool click 1
}
status_is() { [ "$(status_text)" = "$1" ]; }
find_text_is() { [ "$(field widget cmbFind 10)" = "$1" ]; }
find_text_is_saw() { echo "the Find box holds \"$(field widget cmbFind 10)\""; }
find_title_starts() { awk -F'\t' -v t="$1" '$1 == "window" && index($10, t) == 1 {f = 1} END {exit !f}' "$MAP" 2>/dev/null; }

# Two inputs, ten fields of no role, the prediction: wider than the grid's data pane.
awk 'BEGIN {printf "x1,x2"; for (j = 1; j <= 10; j++) printf ",e%d", j; print ",y";
     for (i = 1; i <= 120; i++) {a = (i * 37) % 100 / 10; b = (i * 53) % 100 / 10; printf "%.1f,%.1f", a, b;
       for (j = 1; j <= 10; j++) printf ",%d", (i * (j + 6)) % 13; printf ",%.3f\n", 0.3 * a + 0.5 * b}}' >"$W/wide.csv"

start_program

step "a tested project over the wide table"
menu f mnuImport
choose_file "Import" "$W/wide.csv"
waitfor "the imported database" sql_is "$W/wide.mdb" "SELECT COUNT(*) FROM wide" 120
menu f mnuNewBP
waitfor "new-project dialog" window_active "Create New BackProp Project"
choose_file "Create New BackProp Project" "$W/Grid.kvp"
waitfor "the configuration window" child_up frmConfPrj
configure_project End "$W/wide.mdb"
waitfor "split dialog" window_active "Split The Data"
split_rows
train_stop_finish "$W/Grid.kvp"
menu v mnuBPBrowseTest
waitfor "the results browser" main_title_is "Korvan Pro - Grid - [Browse Test Results]"

step "the grid opens at a column's edge"
has_headings() { [ -n "$(headings_of DataPane)" ]; }
waitfor "the data pane's headings" has_headings
waitfor "the left column whole" left_column_whole
picture grid-opened

step "a click on the half-shown right-most column"
IFS=$'\t' read -r bx bw <<<"$(band_of DataPane)"
IFS=$'\t' read -r last hx hy hw hh _ caption <<<"$(headings_of DataPane | tail -1)"
[ $((hx + hw)) -gt $((bx + bw)) ] || fail "the right-most column $caption is whole: the table is not wider than the grid"
pointer_to $(((hx + bx + bw) / 2)) $((hy + hh + 30))
xdotool click 1
waitfor "the clicked column $caption current" current_column_is DataPane "$last"
waitfor "the clicked column $caption whole" column_whole "$last"
sleep 0.3
picture grid-after-last-column-click
left_column_whole || fail "a column is cut at the data pane's left edge after a click on $caption (grid-after-last-column-click.png)"

step "a heading clicked is the column Sort takes, in either pane"
click_heading FixedPane 3
waitfor "Difference current" current_column_is FixedPane 3
menu e mnuSortAsc
waitfor "the sort by Difference" status_is "Sorted by:  [Difference]"
x2=$(column_named DataPane x2)
[ -n "$x2" ] || fail "no heading x2 in the data pane"
click_heading DataPane "$x2"
waitfor "x2 current" current_column_is DataPane "$x2"
menu e mnuSortDesc
waitfor "the sort by x2" status_is "Sorted by:  [x2],  [Difference]"
left_column_whole || fail "a column is cut at the data pane's left edge after the sort"

step "Find in the half-shown column, typed into its box"
IFS=$'\t' read -r last _ _ _ _ _ caption <<<"$(headings_of DataPane | tail -1)"
click_heading DataPane "$last"
waitfor "$caption current" current_column_is DataPane "$last"
waitfor "the clicked column $caption whole" column_whole "$last"
left_column_whole || fail "a column is cut at the data pane's left edge after a click on the heading $caption"
menu e mnuFind
waitfor "the find dialog" window_active "Find in [$caption]"
xdotool type --delay 30 12
xdotool key Return
waitfor "the first search" find_title_starts "Find - '12' "
xdotool key --delay 30 ctrl+a
xdotool type --delay 30 1
# Until the key is taken the box still shows the earlier 12, as it would if it completed the 1.
waitfor "the Find box holding the 1 as typed" find_text_is 1
xdotool key Return
waitfor "the search for 1" find_title_starts "Find - '1' Found"
left_column_whole || fail "a column is cut at the data pane's left edge after a Find"
picture grid-after-find
xdotool key Escape

exit_program
echo "road walked to its end"
