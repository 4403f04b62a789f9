#!/usr/bin/env bash
# A project killed (kill -9) inside Finish, over a table of 1,000,000 rows, opens at the
# program's next start through File > Open, as a person opens it: the open finishes what the
# killed program left (the project's journal) and the project comes back trained.
#
#   realinput-recovery.sh <korvan program> [folder for pictures and logs]
#
# The kill lands inside Finish's writes on any machine: the program, told by the file
# $COMMIT_HOLD, stops as its write of the test's rows commits and is killed there. Then a second copy of
# the program (another session: its own settings and runtime folder) meets the project the first
# holds, and takes it over once the first is killed. Last, a project over a table of a private
# PostgreSQL server loses its server while Finish reads the testing rows: one box, the program
# goes on, and the project reopens and finishes once the server is back.
. "$(dirname "$0")/roadlib.sh" "$@"

sqlite3 "$W/big.mdb" "CREATE TABLE big (ID INTEGER PRIMARY KEY, x1 REAL, x2 REAL, y REAL);" \
  "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000000)
   INSERT INTO big SELECT i, (i * 37) % 100 / 10.0, (i * 53) % 100 / 10.0,
          0.3 * ((i * 37) % 100 / 10.0) + 0.5 * ((i * 53) % 100 / 10.0) FROM n;" || fail "no data file"
P=$W/Big.kvp
J=$P-journal
# While this file stands, the program holds at its next commit (KORVAN_HOLD_COMMIT).
COMMIT_HOLD=$W/commit-hold
export KORVAN_HOLD_COMMIT=$COMMIT_HOLD
# Whether the main window shows the project named $1.
shows_project() { case "$(main_title)" in "Korvan Pro - $1"*) true ;; *) false ;; esac; }
# Starts the program again (with the environment given as arguments) and waits until it shows the
# project whose title begins "Korvan Pro - $1", its splash gone.
restart_on() {
  local title=$1; shift
  launch "$@"
  waitfor "the project $title" shows_project "$title"
  splash_gone
}

start_program

step "new BackProp project over 1,000,000 rows"
menu f mnuNewBP
choose_file "Create New BackProp Project" "$P"
waitfor "the configuration window" child_up frmConfPrj
configure_project End "$W/big.mdb"
waitfor "split dialog" window_active "Split The Data"

step "split: the first 32,000 rows trained, the last 32,000 tested"
# The span of 32,000 rows pulls the low end of the testing rows up to 968,001.
for range in dsTrainSet:32000 dsTestSet:1000000; do
  edit_box "${range%%:*}/txtBottomNum" "${range#*:}"
done
rows_are() { [ "$(field widget "$1" 10)" = "$2" ]; }
waitfor "training rows selected" rows_are lblTrainRows 32000
waitfor "testing rows selected" rows_are lblTestRows 32000
[ "$(field widget dsTestSet/txtTopNum 10)" = 968001 ] || fail "testing rows from $(field widget dsTestSet/txtTopNum 10)"
picture split
click cmdOK
waitfor "the training window" child_up frmTrainBP

step "train, stop"
train_stop
waitfor "an idle training window" enabled tool mnuTrainBPTrain
[ -e "$J" ] && fail "a journal before Finish"

step "finish, killed inside its writes"
# Held as Finish's second write commits (the first keeps the training; the second writes the
# test's rows), its pages in the file and its journal whole: the kill lands inside that write on
# any machine.
echo 1 >"$COMMIT_HOLD"
click mnuTrainBPExit
waitfor "Finish held inside its write of the test's rows" test -e "$COMMIT_HOLD.held"
[ "$(od -An -tx1 -N8 "$J" 2>/dev/null | tr -d ' \n')" = d9d505f920a163d7 ] || fail "no whole journal as Finish commits"
kill -KILL "$KPID"
wait "$KPID" 2>/dev/null
rm -f "$COMMIT_HOLD" "$COMMIT_HOLD.held"
[ "$(od -An -tx1 -N8 "$J" | tr -d ' \n')" = d9d505f920a163d7 ] || fail "no journal left by the kill"
cp "$P" "$ART/killed.kvp"; cp "$J" "$ART/killed.kvp-journal"

step "start again in a folder that cannot be written: one box says why"
# The superuser, whom no mode stops, gets the immutable flag.
writable() {
  if [ "$(id -u)" = 0 ]; then chattr "$1" "$W"; else chmod "${1/i/w}" "$W"; fi
}
trap 'writable -i 2>/dev/null; cleanup' EXIT
writable +i || fail "the folder could not be made read-only"
launch
waitfor "the box of the project that cannot be recovered" window_active "Open Project"
picture cannot-recover
xdotool key Return
waitfor "no project" main_title_is "Korvan Pro"
[ "$(od -An -tx1 -N8 "$J" | tr -d ' \n')" = d9d505f920a163d7 ] || fail "the journal was lost"
writable -i
exit_program

step "start again: the project comes back"
# Nothing touches the file before the program does. The project is the first of the recent
# files, which the program reopens at its start (Autoload) through File > Open's own road.
grep -q "Big.kvp" "$XDG_CONFIG_HOME/Veltra/Korvan.conf" || fail "the project is not among the recent files"
restart_on Big
picture reopened
awk -F'\t' '$1=="window" && $10=="Open Project" {f=1} END {exit !f}' "$MAP" && fail "a box titled Open Project at the start"
[ -e "$J" ] && fail "the journal is still there"
[ "$(sql "$P" "PRAGMA integrity_check")" = ok ] || fail "the reopened project is damaged"
[ "$(config_of "$P" TrainHigh)" = 32000 ] || fail "the split was lost"

step "the reopened project finishes"
waitfor "Finish" enabled tool mnuTrainBPExit
click mnuTrainBPExit
waitfor "the test results" sql_is "$P" "SELECT COUNT(*) FROM Test" 32000
waitfor "the scatter chart" main_title_is "Korvan Pro - Big - [Scatter Graph Of Actual vs. Predicted]"

# A second copy of the program, as another session or user starts it: settings, runtime folder
# (and so single-copy lock) and widget map of its own, on the project the first copy has open.
FIRST=$KPID
MAP=$WORK/map2.txt
mkdir -p "$WORK/config2" "$WORK/runtime2"
chmod 700 "$WORK/runtime2"
second_copy() {
  rm -f "$MAP"
  (cd "$W" && XDG_CONFIG_HOME=$WORK/config2 XDG_RUNTIME_DIR=$WORK/runtime2 KORVAN_WIDGET_MAP=$MAP \
    exec "$KORVAN" "$P") >"$WORK/korvan2.log" 2>&1 &
  KPID=$!
  PIDS+=($KPID)
}
# The second copy's main window closed by the window manager's close box, as a person ends it
# (its title is not the first copy's).
close_second_copy() {
  waitfor "status bar" has widget MainStatusBar
  click MainStatusBar
  waitfor "splash gone" sh -c "! grep -q $'^window\tfrmSplash' '$MAP'"
  local cx cy
  read -r cx cy <<<"$(close_box_of "$(main_title)")"
  pointer_to "$cx" "$cy"
  xdotool click 1
  waitfor "the second copy's end" program_ended
  wait "$KPID" || fail "the second copy ended with status $?"
}

step "a second copy opens the project the first holds: one box names the first, nothing written"
before=$(md5sum <"$P")
second_copy
waitfor "the box of the project another copy holds" window_active "Open Project"
names_first() { grep -q "It is held by another copy of Korvan Pro (user $(id -un) on .*, process $FIRST)" "$MAP"; }
waitfor "the box naming the first copy" names_first
picture second-copy-refused
xdotool key Return
waitfor "no project in the second copy" main_title_is "Korvan Pro"
close_second_copy
[ "$(md5sum <"$P")" = "$before" ] || fail "the second copy changed the project"

step "the first copy killed (kill -9): its claim is none, and the second copy opens the project"
kill -KILL "$FIRST"
wait "$FIRST" 2>/dev/null
[ -e "$W/.Big.kvp.lock" ] || fail "the killed copy left no claim to take over"
second_copy
waitfor "the project in the second copy" shows_project Big
awk -F'\t' '$1=="window" && $10=="Open Project" {f=1} END {exit !f}' "$MAP" && fail "a box titled Open Project"
picture second-copy-opened
close_second_copy
[ -e "$W/.Big.kvp.lock" ] && fail "the claim outlived the copy that closed the project"
[ "$(sql "$P" "PRAGMA integrity_check")" = ok ] || fail "the project is damaged"
[ "$(sql "$P" "SELECT COUNT(*) FROM Test")" = 32000 ] || fail "the test results were lost"

# --- A server lost while Finish reads --------------------------------------------------------
# A private PostgreSQL server (its own folder, a unix socket there only) reached through
# psqlODBC. The server refuses to run as root: as root, its tools run as the postgres user.
PGBIN=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
[ -x "$PGBIN/pg_ctl" ] || fail "PostgreSQL is not installed (scripts/install-deps adds it)"
as_server() { if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }
PGDIR=$(mktemp -d /tmp/kvpgroad.XXXXXX)   # short: a socket path has about 100 bytes
chmod 755 "$PGDIR"
[ "$(id -u)" = 0 ] && chown postgres:postgres "$PGDIR"
pg_ctl_() { as_server "$PGBIN/pg_ctl" -D "$PGDIR/data" "$@" >>"$WORK/pgctl.log" 2>&1; }
server_start() {
  pg_ctl_ -o "-k $PGDIR -c listen_addresses= -c fsync=off" -l "$PGDIR/log" -w start || fail "the server did not start"
}
server_stop_now() { pg_ctl_ -m immediate -w stop || fail "the server did not stop"; }
trap 'pg_ctl_ -m immediate -w stop; rm -rf "$PGDIR"; cleanup' EXIT
psql_() { "$PGBIN/psql" -X -q -A -t -v ON_ERROR_STOP=1 -h "$PGDIR" -U kv -d "${2:-kv}" -c "$1"; }

# 40,000 rows, the last 32,000 tested: Finish reads them in key order, its first rows on the
# program's own login and the rest through the read-ahead's helpers. The project is made over a
# copy of the table in a database file, then pointed at the server's table (its setting and its
# link), as a project moved to a server.
ROWS=40000
step "a private PostgreSQL server with a table of $ROWS rows"
as_server "$PGBIN/initdb" -D "$PGDIR/data" -U kv --auth=trust -E UTF8 --locale=C.UTF-8 -N >"$WORK/initdb.log" 2>&1 ||
  fail "initdb: $(tail -3 "$WORK/initdb.log")"
server_start
psql_ "CREATE DATABASE kv" postgres >/dev/null || fail "no database on the server"
psql_ "CREATE TABLE big (id integer PRIMARY KEY, x1 float8, x2 float8, y float8);
  INSERT INTO big SELECT i, (i * 37) % 100 / 10.0, (i * 53) % 100 / 10.0,
    0.3 * ((i * 37) % 100 / 10.0) + 0.5 * ((i * 53) % 100 / 10.0) FROM generate_series(1, $ROWS) i;" ||
  fail "no table on the server"
sqlite3 "$W/srv.mdb" "CREATE TABLE big (id INTEGER PRIMARY KEY, x1 REAL, x2 REAL, y REAL);" \
  "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $ROWS)
   INSERT INTO big SELECT i, (i * 37) % 100 / 10.0, (i * 53) % 100 / 10.0,
          0.3 * ((i * 37) % 100 / 10.0) + 0.5 * ((i * 53) % 100 / 10.0) FROM n;" || fail "no data file"
S=$W/Srv.kvp
CONNECT="ODBC;DRIVER={PostgreSQL Unicode};Servername=$PGDIR;Port=5432;Database=kv;UID=kv;"

# A fresh start: no recent project to reopen.
rm -rf "$XDG_CONFIG_HOME/Veltra"
MAP=$WORK/map.txt
start_program
step "new BackProp project, split: rows 1-5,000 trained, the last 32,000 tested"
menu f mnuNewBP
choose_file "Create New BackProp Project" "$S"
waitfor "the configuration window" child_up frmConfPrj
configure_project End "$W/srv.mdb"
waitfor "split dialog" window_active "Split The Data"
edit_box dsTrainSet/txtBottomNum 5000
edit_box dsTestSet/txtBottomNum $ROWS
edit_box dsTestSet/txtTopNum $((ROWS - 31999))
waitfor "testing rows selected" rows_are lblTestRows 32000
click cmdOK
waitfor "the training window" child_up frmTrainBP
# Ended as a session's end ends it (the menus are off while the training window is up).
kill -TERM "$KPID"
waitfor "the program's end" program_ended
wait "$KPID" || fail "the program ended with status $?"
sqlite3 "$S" "UPDATE Config SET sValue='$CONNECT' WHERE Property='DatabaseFileName';
  UPDATE __kdb_links SET Connect='$CONNECT', SourceTable='public.big'" &&
  [ "$(config_of "$S" DatabaseFileName)" = "$CONNECT" ] || fail "the project was not pointed at the server"

step "reopened over the server: train, stop, finish held while it reads the testing rows"
# Once the road has made the file $HOLD, the next read-ahead (Finish's) has read its first
# rows and its first helper, about to ask the server for the rows after them, says so
# ($HOLD.held) and waits while the file stands: the road stops the server there.
HOLD=$W/hold
restart_on Srv KORVAN_HOLD_READ_AHEAD="$HOLD"
train_stop
touch "$HOLD"
click mnuTrainBPExit
waitfor "the read held after its first rows" test -e "$HOLD.held"

step "the server stopped at once (pg_ctl stop -m immediate) while Finish reads: one box"
server_stop_now
rm -f "$HOLD"
box_up() { awk -F'\t' '$1=="window" && $3=="QMessageBox" && $9==1 {f=1} END {exit !f}' "$MAP" 2>/dev/null; }
box_up_saw() { echo "the program $(program_ended && echo ended || echo runs); windows: $(awk -F'\t' '$1=="window" {printf "%s(%s) ", $10, $3}' "$MAP")"; }
waitfor "the box of the lost server" box_up
picture server-lost
echo "   box: $(awk -F'\t' '$1=="window" && $3=="QMessageBox" {print $10; exit}' "$MAP")"
xdotool key Return
box_gone() { ! awk -F'\t' '$1=="window" && $3=="QMessageBox" {f=1} END {exit !f}' "$MAP" 2>/dev/null; }
waitfor "the box closed" box_gone
program_ended && fail "the program ended"
# The program answers: the training window's Graph Type redraws the chart (a second box would
# hold the input).
waitfor "the Graph Type tool" enabled tool mnuTrainBPGraphType
picture before-graph-type
click mnuTrainBPGraphType
graph_type_drawn() { picture after-graph-type; ! same_pictures after-graph-type before-graph-type; }
waitfor "the chart redrawn by Graph Type" graph_type_drawn
box_gone || fail "a second box came after the first"
[ "$(sql "$S" "SELECT COUNT(*) FROM Test")" -gt 0 ] 2>/dev/null && fail "test results over a lost server"
kill -TERM "$KPID"
waitfor "the program's end" program_ended
wait "$KPID" || fail "the program ended with status $?"

step "the server back: the project reopens and finishes"
server_start
restart_on Srv
waitfor "Finish" enabled tool mnuTrainBPExit
click mnuTrainBPExit
waitfor "the test results" sql_is "$S" "SELECT COUNT(*) FROM Test" 32000
waitfor "the scatter chart" main_title_is "Korvan Pro - Srv - [Scatter Graph Of Actual vs. Predicted]"
picture server-back
exit_program
echo "road walked to its end in ${SECONDS}s"
