#!/usr/bin/env bash
# The status bar's progress during a long import: a file of 2,000,000 rows imported through
# File > Import while the window keeps being drawn; the bar is seen at several values on the
# way (the widget map is rewritten only while the program turns its event loop) and pictured.
. "$(dirname "$0")/roadlib.sh" "$@"

awk 'BEGIN {print "a,b,c"; for (i = 1; i <= 2000000; i++) printf "%d,%.2f,%d\n", i, (i * 37) % 1000 / 10, i % 3}' >"$W/big.csv"

start_program

step "import 2,000,000 rows"
menu f mnuImport
choose_file "Import" "$W/big.csv"
bar_value() { entry widget ProgressBar1 | cut -f10; }
# Every value the bar shows while the rows go in, as the road reads the map; the import is over
# once the database holds every row. A slow machine takes longer over it, and the bar is drawn
# every tenth of a second or so however long it takes: the road sees it move all the same.
seen=""
note_bar_until_imported() {
  local v; v=$(bar_value)
  if [ -n "$v" ] && [ "$v" -gt 0 ]; then
    case " $seen " in *" $v "*) ;; *) seen="$seen $v" ;; esac
    [ -e "$ART/import-progress.png" ] || picture import-progress
  fi
  sql_is "$W/big.mdb" "SELECT COUNT(*) FROM big" 2000000
}
note_bar_until_imported_saw() { echo "bar values seen:$seen; rows in big.mdb: $(sql "$W/big.mdb" "SELECT COUNT(*) FROM big")"; }
LIMIT=$((LIMIT * 3)) waitfor "the end of the import" note_bar_until_imported
echo "bar values seen:$seen"
# Two values on the way are a bar that moved: it is drawn every tenth of a second or so, and a
# fast machine imports the rows in little more than a second.
[ "$(echo $seen | wc -w)" -ge 2 ] || fail "the bar stood still (values seen:$seen)"
waitfor "the bar hidden again" sh -c "! awk -F'\t' '\$1==\"widget\" && \$2 ~ /ProgressBar1\$/ {f=1} END {exit !f}' '$MAP'"

exit_program
echo "road walked to its end"
