#!/bin/bash
# Link figures: two real orvd nodes, alice and bob, with the impairing relay
# between them, measured on the link a user has, not on the loopback.
#
#   bench/link_figures.sh ORVD RELAY
#
# 1. Time to a session: alice is told to `connect` to the relay's A side and
#    the clock runs until she has a session with bob (her `peers` shows him
#    connected, or her session_established event, whichever is seen first).
#    25 ms delay and 5 ms jitter each way, at 0 % (reference), 2 % and 10 %
#    loss each way; every trial starts both nodes again (keys made once) and
#    a relay with a seed of its own. A trial is cut at 60 s and then counts
#    as 60 s, as does one whose call alice gives up. Median and 95th
#    percentile (nearest rank) per loss.
# 2. Transfer goodput: a seeded random file from alice to bob over a
#    10 Mbit/s link (1250000 bytes/s each way, 25 ms delay each way, no
#    jitter) at 0 % (reference), 0.5 %, 2 % and 10 % loss, timed from bob's
#    transfer_requested to his transfer_finished (cut at 180 s); the copy
#    must have the same SHA-256.
#
# LINK_TRIALS=N (default 20) session trials per loss, LINK_FILE_MB=N
# (default 4) the file's size in MiB. A goal missed is printed as "below
# goal"; the exit status is 0 when everything was measured, 1 when
# something broke (a node did not start or died, a transfer failed, a copy
# differs), 2 for wrong arguments.
#
# Everything lives in a temporary directory that is removed on every exit,
# with every process the script started.
set -euo pipefail
export LC_ALL=C

if [[ $# -ne 2 ]]; then
  echo "usage: $0 ORVD RELAY" >&2
  exit 2
fi
ORVD=$(realpath "$1")
RELAY=$(realpath "$2")
[[ -x $ORVD ]] || { echo "link: not a program: $1" >&2; exit 2; }
[[ -x $RELAY ]] || { echo "link: not a program: $2" >&2; exit 2; }

TRIALS=${LINK_TRIALS:-20}
FILE_MB=${LINK_FILE_MB:-4}
[[ $TRIALS =~ ^[0-9]+$ && $TRIALS -gt 0 ]] || { echo "link: LINK_TRIALS wants a number above 0: $TRIALS" >&2; exit 2; }
[[ $FILE_MB =~ ^[0-9]+$ && $FILE_MB -gt 0 ]] || { echo "link: LINK_FILE_MB wants a number above 0: $FILE_MB" >&2; exit 2; }

DELAY_MS=25              # each way
SESSION_JITTER_MS=5
SESSION_CAP_S=60
LINK_RATE=1250000        # bytes/s each way: 10 Mbit/s
TRANSFER_CAP_S=180
FILE_BYTES=$((FILE_MB << 20))
POLL_S=0.05              # between looks at a node
SESSION_LOSSES=(0 0.02 0.10)
TRANSFER_LOSSES=(0 0.005 0.02 0.10)

# shellcheck source=tests/support/orvd_script_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../tests/support/orvd_script_lib.sh"
start_workdir link
RELAY_FD=""  # our end of the relay's command pipe

# shellcheck disable=SC2317  # called by cleanup
close_pipes() { [[ -z $RELAY_FD ]] || exec {RELAY_FD}>&-; }

now_us() { echo "${EPOCHREALTIME/./}"; }

# forget PID: the process was reaped, so its number may be reused.
forget() {
  local pid kept=()
  for pid in "${PIDS[@]}"; do
    [[ $pid == "$1" ]] || kept+=("$pid")
  done
  PIDS=("${kept[@]}")
}

# stop PID SECONDS: waits that long for the process to end by itself, then
# asks it to end, then ends it; reaps it either way.
stop() {
  local pid=$1 limit=$2 i
  for ((i = 0; i < limit * 10; i++)); do
    alive "$pid" || break
    sleep 0.1
  done
  if alive "$pid"; then
    kill "$pid" 2>/dev/null || true
    for ((i = 0; i < 50; i++)); do
      alive "$pid" || break
      sleep 0.1
    done
    if alive "$pid"; then kill -KILL "$pid" 2>/dev/null || true; fi
  fi
  wait "$pid" 2>/dev/null || true
  forget "$pid"
}

# Ends the run with a reason and the last lines of whatever each node said.
fail() {
  local name
  echo "link: $*" >&2
  for name in alice bob; do
    [[ -n ${OUT[$name]:-} && -f ${OUT[$name]} ]] || continue
    echo "$name's last lines:" >&2
    tail -n 8 "${OUT[$name]}" | cut -d' ' -f2- | sed 's/^/  /' >&2 || true
  done
  exit 1
}

# Each line of the standard input, after the time it was read (microseconds
# since the epoch): the nodes' events and log lines carry their own times.
stamp() {
  local line
  while IFS= read -r line || [[ -n $line ]]; do
    printf '%s %s\n' "${EPOCHREALTIME/./}" "$line"
  done
}

# stamp_of PATTERN FILE: the time of the first line matching PATTERN (an
# extended regular expression for what follows the time); fails when none.
stamp_of() {
  local line
  line=$(grep -m 1 -E "^[0-9]+ ($1)" "$2" 2>/dev/null) || return 1
  echo "${line%% *}"
}

ctl() { "$ORVD" ctl --profile "$WORK/$1" --timeout 10 "${@:2}"; }

# --- the nodes ---
declare -A PID OUT
RUN=0  # numbers the output files of each start

mkdir -p "$WORK/alice" "$WORK/bob" "$WORK/received" "$WORK/files" "$WORK/out"
echo "password of alice" >"$WORK/alice.pw"
echo "password of bob" >"$WORK/bob.pw"

# Launches the node with a profile that remembers nothing of earlier runs
# but its key: no saved nodes, so it has no session until it is told to.
launch_node() {
  local name=$1 out
  printf '[Network]\nLocalPort=0\nEnableUPnP=0\n' >"$WORK/$name/orv.set"
  if [[ $name == bob ]]; then
    printf '[Privacy]\nAllowAnyone=1\nAcceptFileTransfer=1\n[Files]\nAutoReceiveFiles=1\nFileTransferPath=%s\n' \
      "$WORK/received" >>"$WORK/$name/orv.set"
  fi
  rm -f "$WORK/$name/user.xml" "$WORK/$name/downloads.xml" "$WORK/$name/orvd.sock"
  OUT[$name]="$WORK/out/$name-$RUN.out"
  exec {out}> >(stamp >"${OUT[$name]}")
  PIDS+=("$!")
  "$ORVD" --profile "$WORK/$name" --password-file "$WORK/$name.pw" --name "$name" >&"$out" 2>&1 &
  PID[$name]=$!
  PIDS+=("${PID[$name]}")
  exec {out}>&-
}

start_nodes() {
  local name
  RUN=$((RUN + 1))
  launch_node bob
  launch_node alice
  for name in bob alice; do
    wait_for_line "Control socket " 60 "${OUT[$name]}" || fail "$name did not start"
  done
  bob_status=$(ctl bob status) || fail "bob does not answer: $bob_status"
  bob_port=$(field port "$bob_status")
  bob_id=$(field user "$bob_status")
  [[ -n $bob_port && -n $bob_id ]] || fail "bob's status says no port or user: $bob_status"
}

stop_nodes() {
  local name
  for name in alice bob; do
    if alive "${PID[$name]}"; then ctl "$name" quit >/dev/null 2>&1 || true; fi
  done
  for name in alice bob; do
    stop "${PID[$name]}" 15
  done
}

# start_relay OPTIONS...: a relay from its A side to bob; its A port in
# relay_a.
start_relay() {
  local fifo="$WORK/relay.in" out="$WORK/out/relay-$RUN.out"
  rm -f "$fifo"
  mkfifo "$fifo"
  "$RELAY" --a-bind 127.0.0.1:0 --b-bind 127.0.0.1:0 --b-target "127.0.0.1:$bob_port" "$@" <"$fifo" >"$out" 2>&1 &
  relay_pid=$!
  PIDS+=("$relay_pid")
  exec {RELAY_FD}>"$fifo"
  wait_for_line '^ports a=' 10 "$out" || fail "the relay did not start: $(cat "$out")"
  relay_a=$(sed -n 's/^ports a=\([0-9]*\) .*/\1/p' "$out")
}

stop_relay() {
  echo quit >&"$RELAY_FD" || true
  exec {RELAY_FD}>&-
  RELAY_FD=""
  stop "$relay_pid" 5
}

# Tells alice to connect through the relay and waits up to $1 seconds for
# her session with bob: its time from the command in session_us, or -1
# when the time ran out or alice gave the call up.
connect_and_wait() {
  local limit_us=$(($1 * 1000000)) t0 now event i
  t0=$(now_us)
  ctl alice connect "127.0.0.1:$relay_a" >/dev/null || fail "alice refuses to connect"
  session_us=-1
  for ((i = 0; i < $1 * 40; i++)); do
    alive "${PID[alice]}" || fail "alice died"
    alive "${PID[bob]}" || fail "bob died"
    if [[ $(ctl alice peers 2>/dev/null) == *" connected=1 "* ]]; then
      session_us=$(($(now_us) - t0))
    fi
    # The event comes from a look once a second; it may still be earlier.
    if event=$(stamp_of 'event session_established ' "${OUT[alice]}"); then
      ((session_us >= 0 && session_us <= event - t0)) || session_us=$((event - t0))
    fi
    ((session_us >= 0)) && return 0
    grep -q -E '^[0-9]+ event connect_failed ' "${OUT[alice]}" && return 0
    now=$(now_us)
    ((now - t0 < limit_us)) || return 0
    sleep "$POLL_S"
  done
}

# seconds MICROSECONDS: as seconds with two decimals.
seconds() { awk -v us="$1" 'BEGIN { printf "%.2f", us / 1e6 }'; }
percent_of() { awk -v p="$1" 'BEGIN { printf "%g", p * 100 }'; }

# The median and the 95th percentile (nearest rank) of the numbers on the
# standard input, one a line: "MEDIAN P95".
median_p95() {
  sort -n | awk '{ v[NR] = $1 } END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    r = int(NR * 0.95); if (r < NR * 0.95) r++
    printf "%d %d\n", m, v[r] }'
}

# A file of N bytes that is the same for the same seed.
seeded_file() {
  awk -v n="$2" -v s="$3" 'BEGIN { srand(s); for (i = 0; i < n; i++) printf "%c", int(rand() * 256) }' >"$1"
}

STARTED=$SECONDS
broken=0
TABLE=()

echo "link figures: orvd through orv_impair_relay, ${DELAY_MS} ms each way; work in $WORK"

# --- time to a session ---
echo "time to a session: $TRIALS trials per loss, jitter ${SESSION_JITTER_MS} ms, cut at ${SESSION_CAP_S} s"
TABLE+=("time to a session ($TRIALS trials per loss, ${DELAY_MS} ms +- ${SESSION_JITTER_MS} ms each way, cut at ${SESSION_CAP_S} s)")
TABLE+=("$(printf '  %-6s %9s %9s %7s  %s' loss median p95 cut goal)")
level=0
for loss in "${SESSION_LOSSES[@]}"; do
  level=$((level + 1))
  times=()
  cut=0
  for ((trial = 1; trial <= TRIALS; trial++)); do
    start_nodes
    start_relay --loss "$loss" --delay "$DELAY_MS" --jitter "$SESSION_JITTER_MS" --seed $((20261211 + level * 1000 + trial))
    connect_and_wait "$SESSION_CAP_S"
    if ((session_us < 0 || session_us > SESSION_CAP_S * 1000000)); then
      session_us=$((SESSION_CAP_S * 1000000))
      cut=$((cut + 1))
    fi
    times+=("$session_us")
    printf '  session %s %% loss, trial %d: %s s\n' "$(percent_of "$loss")" "$trial" "$(seconds "$session_us")"
    stop_relay
    stop_nodes
  done
  read -r median p95 < <(printf '%s\n' "${times[@]}" | median_p95)
  case $loss in
    0.02) median_goal=3 ;;
    0.10) median_goal=8 ;;
    *) median_goal="" ;;
  esac
  if [[ -z $median_goal ]]; then
    verdict="reference"
  else
    verdict="median <= $median_goal s, p95 <= 20 s:"
    if ((median <= median_goal * 1000000 && p95 <= 20 * 1000000)); then
      verdict+=" met"
    else
      verdict+=" below goal"
    fi
  fi
  TABLE+=("$(printf '  %-6s %7s s %7s s %7s  %s' "$(percent_of "$loss") %" "$(seconds "$median")" "$(seconds "$p95")" "$cut/$TRIALS" "$verdict")")
done

# --- transfer goodput ---
echo "transfer goodput: ${FILE_MB} MiB alice -> bob, ${LINK_RATE} bytes/s each way, cut at ${TRANSFER_CAP_S} s"
TABLE+=("transfer goodput (${FILE_MB} MiB alice -> bob, ${LINK_RATE} bytes/s and ${DELAY_MS} ms each way, cut at ${TRANSFER_CAP_S} s)")
# A full block datagram carries 316 bytes of the file in 384 bytes of UDP
# payload (header, seal, inner type, block header): file data can fill at
# most 316/384 of the link. The goals count against that ceiling.
TABLE+=("$(printf '  %-6s %9s %11s %8s %11s  %s' loss time goodput "of link" "of ceiling" goal)")
level=0
for loss in "${TRANSFER_LOSSES[@]}"; do
  level=$((level + 1))
  file="$WORK/files/file-$level.bin"
  seeded_file "$file" "$FILE_BYTES" $((4711 + level))
  start_nodes
  start_relay --loss "$loss" --delay "$DELAY_MS" --jitter 0 --rate "$LINK_RATE" --seed $((20261211 + level))
  connect_and_wait "$SESSION_CAP_S"
  ((session_us >= 0)) || fail "no session at $(percent_of "$loss") % loss in ${SESSION_CAP_S} s"
  reply=$(ctl alice send "$bob_id" "$file") || fail "alice cannot send the file: $reply"
  sent_us=$(now_us)
  outcome=capped
  for ((i = 0; i < TRANSFER_CAP_S * 20; i++)); do
    alive "${PID[alice]}" || fail "alice died"
    alive "${PID[bob]}" || fail "bob died"
    if grep -q -E '^[0-9]+ event transfer_finished ' "${OUT[bob]}"; then
      outcome=finished
      break
    fi
    if grep -q -E '^[0-9]+ event transfer_failed ' "${OUT[alice]}" "${OUT[bob]}"; then
      outcome=failed
      break
    fi
    (($(now_us) - sent_us < TRANSFER_CAP_S * 1000000)) || break
    sleep "$POLL_S"
  done
  case $loss in
    0.005) goal=80 ;;
    0.02) goal=60 ;;
    0.10) goal=30 ;;
    *) goal="" ;;
  esac
  if [[ $outcome == finished ]]; then
    requested=$(stamp_of 'event transfer_requested ' "${OUT[bob]}") || fail "bob finished a transfer he was never offered"
    finished=$(stamp_of 'event transfer_finished ' "${OUT[bob]}")
    copy="$WORK/received/$(basename "$file")"
    if [[ -f $copy && $(sha256sum <"$copy") == $(sha256sum <"$file") ]]; then
      took_us=$((finished - requested))
      ((took_us > 0)) || took_us=1
      goodput=$((FILE_BYTES * 1000000 / took_us))
      share=$(awk -v g="$goodput" -v r="$LINK_RATE" 'BEGIN { printf "%.1f", g * 100 / r }')
      ceiling=$(awk -v g="$goodput" -v r="$LINK_RATE" 'BEGIN { printf "%.1f", g * 100 / (r * 316 / 384) }')
      if [[ -z $goal ]]; then
        verdict="reference"
      elif awk -v s="$ceiling" -v g="$goal" 'BEGIN { exit !(s >= g) }'; then
        verdict=">= $goal %: met"
      else
        verdict=">= $goal %: below goal"
      fi
      row=$(printf '  %-6s %7s s %7s B/s %6s %% %9s %%  %s' "$(percent_of "$loss") %" "$(seconds "$took_us")" "$goodput" "$share" "$ceiling" "$verdict")
    else
      row=$(printf '  %-6s  FAILED: the copy differs from the file sent' "$(percent_of "$loss") %")
      broken=1
    fi
  elif [[ $outcome == failed ]]; then
    row=$(printf '  %-6s  FAILED: the transfer failed (%s)' "$(percent_of "$loss") %" \
      "$(grep -h -m 1 -E '^[0-9]+ event transfer_failed ' "${OUT[alice]}" "${OUT[bob]}" | head -n 1 | cut -d' ' -f2- | grep -o 'text=.*' || true)")
    broken=1
  else
    row=$(printf '  %-6s  cut at %d s (%s)  %s' "$(percent_of "$loss") %" "$TRANSFER_CAP_S" \
      "$(grep -E '^[0-9]+ event transfer_progress ' "${OUT[bob]}" | tail -n 1 | grep -o 'percent=[0-9]*' || echo 'percent=0')" \
      "${goal:+>= $goal %: below goal}")
  fi
  echo "stats" >&"$RELAY_FD" || true
  sleep 0.2
  echo "  transfer ${row#  }"
  grep '^stats ' "$WORK/out/relay-$RUN.out" | tail -n 1 | sed 's/^/    relay /' || true
  TABLE+=("$row")
  stop_relay
  stop_nodes
  rm -f "$file" "$WORK/received/$(basename "$file")"
done

echo
printf '%s\n' "${TABLE[@]}"
echo "goals: session median <= 3 s at 2 %, <= 8 s at 10 %, p95 <= 20 s; goodput >= 80 % of the ceiling (file data can fill 316/384 of the link) at 0.5 %, >= 60 % at 2 %, >= 30 % at 10 %"
echo "link figures took $((SECONDS - STARTED)) s"
exit "$broken"
