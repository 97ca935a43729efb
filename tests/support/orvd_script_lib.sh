# shellcheck shell=bash
# Shared by the scripts that run orvd nodes across the impairing relay
# (bench/link_figures.sh, tests/soak/soak.sh). Sourced, not run.
#
# start_workdir NAME: a temporary directory in WORK and the list PIDS of
# every process the script starts; on every exit the script's own
# close_pipes (when it has one) runs, every process is ended and reaped,
# and the directory goes.

start_workdir() {
  WORK=$(mktemp -d "${TMPDIR:-/tmp}/orv-$1-XXXXXX")
  PIDS=()
  trap cleanup EXIT
  trap 'exit 130' INT TERM
  # A write to a program that ended fails instead of ending the script silently.
  trap '' PIPE
}

# shellcheck disable=SC2317  # called by the trap
cleanup() {
  local pid
  if declare -F close_pipes >/dev/null; then close_pipes; fi
  for pid in "${PIDS[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${PIDS[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$WORK"
}

# Waits up to $2 seconds for a line matching $1 (an extended regular
# expression) in file $3.
wait_for_line() {
  local pattern=$1 limit=$2 file=$3 i
  for ((i = 0; i < limit * 10; i++)); do
    grep -q -E -- "$pattern" "$file" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# field KEY LINE: the value of KEY= in a line of fields.
field() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$2"; }

alive() { kill -0 "$1" 2>/dev/null; }
