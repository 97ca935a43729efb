#!/bin/bash
# A long run of two orvd nodes on a link that loses 2 % of the datagrams
# each way: alice, behind the impairing relay, writes bob a chat line every
# 100 ms and sends him a 1 MB file every 10 s. At the end it prints what
# arrived and what both nodes hold (memory, open descriptors), and fails
# when a line is missing, repeated or out of order, a file differs, a node
# died, or a node's memory grew by more than 20 %.
#
#   tests/soak/soak.sh ORVD RELAY [SECONDS]     (default 600 s)
#
# SOAK_LOSS=P in the environment sets another loss probability.
#
# Everything lives in a temporary directory that is removed on every exit,
# with every process the script started.
set -euo pipefail

if [[ $# -lt 2 || $# -gt 3 ]]; then
  echo "usage: $0 ORVD RELAY [SECONDS]" >&2
  exit 2
fi
ORVD=$(realpath "$1")
RELAY=$(realpath "$2")
DURATION=${3:-600}
[[ -x $ORVD ]] || { echo "soak: not a program: $1" >&2; exit 2; }
[[ -x $RELAY ]] || { echo "soak: not a program: $2" >&2; exit 2; }
[[ $DURATION =~ ^[0-9]+$ && $DURATION -gt 0 ]] || { echo "soak: bad number of seconds: $DURATION" >&2; exit 2; }

LOSS=${SOAK_LOSS:-0.02}  # each way
CHAT_PERIOD_US=100000  # between chat lines
FILE_PERIOD=10      # seconds between files
FILE_BYTES=$((1 << 20))
DRAIN_SECONDS=120   # after the last send, how long everything may take to arrive
RSS_GROWTH_LIMIT=20 # per cent

# shellcheck source=tests/support/orvd_script_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/orvd_script_lib.sh"
start_workdir soak

# shellcheck disable=SC2317  # called by cleanup
close_pipes() { exec 8>&- 9>&-; }

# Ends the run with a reason, and what the nodes last said about the
# network (their output goes with the temporary directory).
fail() {
  local name
  echo "soak: $*" >&2
  for name in alice bob; do
    [[ -f $WORK/$name.out ]] || continue
    echo "$name's last network lines:" >&2
    grep -e ' - Network:' -e '^event session_' "$WORK/$name.out" | tail -n 8 | sed 's/^/  /' >&2 || true
  done
  exit 1
}

# A node: its profile, settings ($2, more INI lines) and password file;
# its process id in last_pid.
start_node() {
  local name=$1 settings=$2
  mkdir -p "$WORK/$name"
  printf '[Network]\nLocalPort=0\nEnableUPnP=0\n%s' "$settings" >"$WORK/$name/orv.set"
  echo "password of $name" >"$WORK/$name.pw"
  "$ORVD" --profile "$WORK/$name" --password-file "$WORK/$name.pw" --name "$name" >"$WORK/$name.out" 2>&1 &
  last_pid=$!
  PIDS+=("$last_pid")
  wait_for_line "Control socket " 60 "$WORK/$name.out" || fail "$name did not start: $(tail -n 3 "$WORK/$name.out")"
}

ctl() { "$ORVD" ctl --profile "$WORK/$1" --timeout 60 "${@:2}"; }

rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
fd_count() { find "/proc/$1/fd" -mindepth 1 -maxdepth 1 | wc -l; }

# The numbers of the soak lines bob has shown, in the order shown.
shown_lines() { grep '^event chat ' "$WORK/bob.out" | grep -o 'text=soak-[0-9]*' | cut -d- -f2 || true; }

# --- the two nodes and the relay between them ---
mkdir -p "$WORK/bob/received" "$WORK/files"
start_node bob "[Privacy]
AllowAnyone=1
AcceptFileTransfer=1
[Files]
AutoReceiveFiles=1
FileTransferPath=$WORK/bob/received
"
bob_pid=$last_pid
start_node alice ""
alice_pid=$last_pid
bob_status=$(ctl bob status) || fail "bob does not answer: $bob_status"
bob_port=$(field port "$bob_status")
bob_id=$(field user "$bob_status")

mkfifo "$WORK/relay.in"
"$RELAY" --a-bind 127.0.0.1:0 --b-bind 127.0.0.1:0 --b-target "127.0.0.1:$bob_port" \
  --loss "$LOSS" --seed 20261211 <"$WORK/relay.in" >"$WORK/relay.out" 2>&1 &
PIDS+=("$!")
exec 9>"$WORK/relay.in"
wait_for_line '^ports a=' 10 "$WORK/relay.out" || fail "the relay did not start: $(cat "$WORK/relay.out")"
relay_a=$(sed -n 's/^ports a=\([0-9]*\) .*/\1/p' "$WORK/relay.out")

ctl alice connect "127.0.0.1:$relay_a" >/dev/null || fail "alice cannot connect"
wait_for_line '^event session_established ' 60 "$WORK/alice.out" || fail "no session through the relay in 60 s"

# Alice's commands go through one ctl connection fed from a pipe.
mkfifo "$WORK/ctl.in"
"$ORVD" ctl --profile "$WORK/alice" --timeout 60 <"$WORK/ctl.in" >"$WORK/ctl.out" 2>&1 &
ctl_pid=$!
PIDS+=("$ctl_pid")
exec 8>"$WORK/ctl.in"

send_file() {
  local path="$WORK/files/file-$1.bin"
  head -c "$FILE_BYTES" /dev/urandom >"$path"
  echo "send $bob_id $path" >&8 || fail "alice's ctl ended: $(tail -n 3 "$WORK/ctl.out")"
}

# --- the run ---
lines_sent=0
files_sent=0
measured=0
start=$(date +%s)
next_file=$start
next_line_us=${EPOCHREALTIME/./}
echo "soak: ${DURATION} s, ${LOSS} loss each way, work in $WORK"
while (($(date +%s) - start < DURATION)); do
  alive "$alice_pid" || fail "alice died: $(tail -n 3 "$WORK/alice.out")"
  alive "$bob_pid" || fail "bob died: $(tail -n 3 "$WORK/bob.out")"
  alive "$ctl_pid" || fail "alice's ctl ended: $(tail -n 3 "$WORK/ctl.out")"
  if (($(date +%s) >= next_file)); then
    files_sent=$((files_sent + 1))
    send_file "$files_sent"
    next_file=$((next_file + FILE_PERIOD))
  fi
  lines_sent=$((lines_sent + 1))
  printf 'chat %s soak-%06d\n' "$bob_id" "$lines_sent" >&8 || fail "alice's ctl ended: $(tail -n 3 "$WORK/ctl.out")"
  # Memory and descriptors are first taken once the first file is through,
  # so that buffers made on first use do not count as growth.
  if ((measured == 0)) && grep -q '^event transfer_finished ' "$WORK/bob.out"; then
    measured=1
    alice_rss_start=$(rss_kb "$alice_pid") bob_rss_start=$(rss_kb "$bob_pid")
    alice_fd_start=$(fd_count "$alice_pid") bob_fd_start=$(fd_count "$bob_pid")
  fi
  # The next line is due one period after this one was, however long
  # this round took.
  next_line_us=$((next_line_us + CHAT_PERIOD_US))
  wait_us=$((next_line_us - ${EPOCHREALTIME/./}))
  ((wait_us <= 0)) || sleep "$(printf '0.%06d' "$wait_us")"
done
exec 8>&-

# --- everything sent arrives, or the time is up ---
for ((i = 0; i < DRAIN_SECONDS * 10; i++)); do
  shown=$(shown_lines | sort -u | wc -l)
  finished=$(grep -c '^event transfer_finished ' "$WORK/bob.out" || true)
  ((shown >= lines_sent && finished >= files_sent)) && break
  sleep 0.1
done
# Late copies of lines already shown get a moment to show up as repeats.
sleep 2
alive "$alice_pid" || fail "alice died: $(tail -n 3 "$WORK/alice.out")"
alive "$bob_pid" || fail "bob died: $(tail -n 3 "$WORK/bob.out")"
if ((measured == 0)); then
  alice_rss_start=$(rss_kb "$alice_pid") bob_rss_start=$(rss_kb "$bob_pid")
  alice_fd_start=$(fd_count "$alice_pid") bob_fd_start=$(fd_count "$bob_pid")
fi
alice_rss_end=$(rss_kb "$alice_pid") bob_rss_end=$(rss_kb "$bob_pid")
alice_fd_end=$(fd_count "$alice_pid") bob_fd_end=$(fd_count "$bob_pid")

# --- the account ---
shown_lines >"$WORK/shown.txt"
lines_shown=$(wc -l <"$WORK/shown.txt")
lines_once=$(sort "$WORK/shown.txt" | uniq -u | wc -l)
lines_repeated=$(sort "$WORK/shown.txt" | uniq -d | wc -l)
lines_distinct=$(sort -u "$WORK/shown.txt" | wc -l)
disorder=$(sort -c "$WORK/shown.txt" 2>&1 | sed 's/.*disorder: //') || true
if [[ -z $disorder ]]; then in_order=yes; else in_order="no (first: $disorder after $(grep -B 1 -m 1 -x "$disorder" "$WORK/shown.txt" | head -n 1))"; fi
files_whole=0
for ((n = 1; n <= files_sent; n++)); do
  cmp -s "$WORK/files/file-$n.bin" "$WORK/bob/received/file-$n.bin" && files_whole=$((files_whole + 1))
done
echo stats >&9
wait_for_line '^stats ' 5 "$WORK/relay.out" && echo "relay: $(grep '^stats ' "$WORK/relay.out" | tail -n 1)"
transfers_failed=$(grep -c '^event transfer_failed ' "$WORK/bob.out" || true)
sessions_ended=$(grep -c '^event session_ended ' "$WORK/alice.out" || true)
ctl_errors=$(grep -c '^error' "$WORK/ctl.out" || true)

echo "lines: sent $lines_sent, shown $lines_shown, distinct $lines_distinct, shown once $lines_once, repeated $lines_repeated, in order $in_order"
echo "files: sent $files_sent, whole $files_whole, failed transfers $transfers_failed"
echo "alice: sessions ended $sessions_ended, commands refused $ctl_errors"
echo "alice: RSS $alice_rss_start -> $alice_rss_end kB, descriptors $alice_fd_start -> $alice_fd_end"
echo "bob:   RSS $bob_rss_start -> $bob_rss_end kB, descriptors $bob_fd_start -> $bob_fd_end"

status=0
((lines_distinct == lines_sent)) || { echo "soak: $((lines_sent - lines_distinct)) lines never shown" >&2; status=1; }
((lines_shown == lines_distinct)) || { echo "soak: $lines_repeated lines shown more than once" >&2; status=1; }
[[ $in_order == yes ]] || { echo "soak: lines shown out of order" >&2; status=1; }
((files_whole == files_sent)) || { echo "soak: $((files_sent - files_whole)) files missing or different" >&2; status=1; }
((ctl_errors == 0)) || { echo "soak: alice refused $ctl_errors commands, first: $(grep -m 1 '^error' "$WORK/ctl.out")" >&2; status=1; }
for node in alice bob; do
  rss_start=${node}_rss_start rss_end=${node}_rss_end
  if ((${!rss_end} * 100 > ${!rss_start} * (100 + RSS_GROWTH_LIMIT))); then
    echo "soak: $node's memory grew by more than $RSS_GROWTH_LIMIT %" >&2
    status=1
  fi
done

ctl alice quit >/dev/null || true
ctl bob quit >/dev/null || true
exit $status
