#!/usr/bin/env bash
# Two orvd users at home, each behind a NAT router of their own, who know
# each other only by UserId and meet through a bootstrap node on the
# internet. Built from network namespaces:
#
#   lanA 192.168.41.2 -- 192.168.41.1 natA 11.22.40.11 --+
#                                                        +-- br0 11.22.40.1 "inet" (bootstrap orvd)
#   lanB 192.168.42.2 -- 192.168.42.1 natB 11.22.40.12 --+
#
# Each router masquerades on its WAN side as Linux does (source ports kept
# where free, replies let in by conntrack, everything else dropped) and may
# run miniupnpd. Three router set-ups: no UPnP anywhere (1), miniupnpd on
# router A with EnableUPnP=1 at node A (2), miniupnpd on both with UPnP on
# both nodes (3). Both users have each other as contacts (by UserId; the
# home nodes learn the bootstrap node from their network file user.xml).
# In cases 1, 2 and 3 both start together and write to each other at once;
# in 1a, 2a, 2b and 3a one user has been online for a while and only the
# other one writes. For each the script measures whether the nodes reach
# the bootstrap node, locate each other in the DHT, open a session,
# exchange chat messages and get a call to "IN VOICE", and prints a table
# with what each router dropped (its nftables set of dropped datagrams; the
# conntrack tables and node states stay in the run's files).
#
# The internet addresses are public-looking (miniupnpd refuses private
# external addresses) but only these namespaces use them: nothing links the
# namespaces to the machine's own network and none has a route out.
#
# Usage: home_routers.sh ORVD [AUDIO_DATA_DIR]
# Exit 0: every case ran and was measured; 1: something is plainly broken
# (a node does not start or reach the bootstrap node, or the case with UPnP
# on both sides does not connect); 77: skipped (no root, namespaces, nft or
# miniupnpd). HOMES_KEEP=1 keeps the run's files (logs, profiles, router
# tables); HOMES_CASES="1 3a" runs only those cases; HOMES_SESSION_WAIT sets
# the seconds a session may take (45).
set -u
umask 077

readonly ORVD=${1:-}
readonly AUDIO_DIR=${2:-$(cd "$(dirname "$0")/../audio/data" 2>/dev/null && pwd)}
readonly MINIUPNPD=/usr/sbin/miniupnpd
readonly PREFIX_BASE=orvh
readonly P="${PREFIX_BASE}$$"
readonly PORT=31265
readonly BOOT_IP=11.22.40.1
declare -A WAN_IP=([A]=11.22.40.11 [B]=11.22.40.12)
declare -A LAN_NET=([A]=192.168.41 [B]=192.168.42)

RUN=""
PIDS=()
T0=0

say() { printf '%s\n' "$*"; }
skip() {
  say "SKIPPED: home router test: $*"
  exit 77
}
die() {
  say "FAILED: $*"
  exit 1
}
now_ms() { date +%s%3N; }
ns() { printf '%s-%s' "$P" "$1"; }

# ---------------------------------------------------------------- clean-up

# Ends a process of ours: TERM, then KILL after at most 3 seconds.
stop_pid() {
  local pid=$1
  kill -TERM "$pid" 2>/dev/null || return 0
  for _ in $(seq 30); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  return 0
}

# Deletes one namespace after killing whatever still runs in it.
delete_namespace() {
  local name=$1 pid
  for pid in $(ip netns pids "$name" 2>/dev/null); do kill -KILL "$pid" 2>/dev/null; done
  ip netns del "$name" 2>/dev/null
  return 0
}

# True while the run of process PID goes on: a live (not zombie) process
# of this script, so that a reused process id does not keep leftovers.
run_alive() {
  local pid=$1
  [[ -r /proc/$pid/cmdline ]] && grep -qa home_routers "/proc/$pid/cmdline" &&
    ! grep -q '^State:[[:space:]]*Z' "/proc/$pid/status" 2>/dev/null
}

# Namespaces and files of earlier runs whose script is gone (killed outright).
remove_leftovers() {
  local name pid dir
  for name in $(ip netns list 2>/dev/null | awk '{print $1}' | grep -E "^${PREFIX_BASE}[0-9]+-"); do
    pid=${name#"$PREFIX_BASE"}
    pid=${pid%%-*}
    run_alive "$pid" || delete_namespace "$name"
  done
  for dir in /tmp/"$PREFIX_BASE"[0-9]*; do
    [[ -d $dir ]] || continue
    pid=${dir#/tmp/"$PREFIX_BASE"}
    pid=${pid%%.*}
    run_alive "$pid" || rm -rf "$dir"
  done
}

stop_case_processes() {
  local pid
  for pid in "${PIDS[@]}"; do stop_pid "$pid"; done
  PIDS=()
}

delete_case_namespaces() {
  local role
  for role in inet natA natB lanA lanB keys probe; do delete_namespace "$(ns "$role")"; done
}

cleanup() {
  local status=$?
  trap - EXIT INT TERM HUP
  stop_case_processes
  delete_case_namespaces
  if [[ -n $RUN && -d $RUN ]]; then
    if [[ ${HOMES_KEEP:-0} == 1 ]]; then say "run files kept in $RUN"; else rm -rf "$RUN"; fi
  fi
  exit "$status"
}

# ---------------------------------------------------------------- checks

check_rights() {
  [[ -n $ORVD && -x $ORVD ]] || die "usage: $0 ORVD [AUDIO_DATA_DIR] (orvd binary '$ORVD' not executable)"
  [[ $(id -u) -eq 0 ]] || skip "network namespaces need root"
  command -v ip >/dev/null || skip "the ip command (iproute2) is not installed"
  command -v nft >/dev/null || skip "nft is not installed (scripts/install-deps.sh installs it)"
  [[ -x $MINIUPNPD ]] || skip "miniupnpd is not installed (scripts/install-deps.sh installs it)"
  ip netns add "$(ns probe)" 2>/dev/null || skip "'ip netns add' does not work here"
  local ok=1
  ip netns exec "$(ns probe)" nft -f - <<<'table inet probe { chain c { type nat hook postrouting priority srcnat; oifname "x" masquerade; }; }' \
    >/dev/null 2>&1 || ok=0
  ip -n "$(ns probe)" link add probe0 type bridge 2>/dev/null || ok=0
  ip netns del "$(ns probe)"
  [[ $ok == 1 ]] || skip "nftables masquerading or bridges do not work in a network namespace here"
}

# ---------------------------------------------------------------- waiting

# Waits until FILE has a line matching the extended regular expression, at
# most SECONDS; prints the time it was seen (ms since the epoch).
wait_line() {
  local file=$1 pattern=$2 seconds=$3
  for _ in $(seq $((seconds * 5))); do
    if grep -qE -- "$pattern" "$file" 2>/dev/null; then
      now_ms
      return 0
    fi
    sleep 0.2
  done
  return 1
}

# ---------------------------------------------------------------- network

run_in() {
  local role=$1
  shift
  ip netns exec "$(ns "$role")" "$@"
}

# The router's nftables table: masquerading on the WAN side, forwarding of
# the LAN's own traffic and of the replies conntrack recognises, the chains
# that miniupnpd fills, and counted drops of everything else that comes in
# from the internet (with a set that remembers source, source port and
# destination port of each dropped datagram).
router_rules() {
  cat <<'EOF'
table inet home {
  set dropped_in {
    type ipv4_addr . inet_service . inet_service; size 4096; flags dynamic; counter;
  }
  chain miniupnpd {
  }
  chain prerouting_miniupnpd {
  }
  chain postrouting_miniupnpd {
  }
  chain prerouting {
    type nat hook prerouting priority dstnat; policy accept;
    jump prerouting_miniupnpd
  }
  chain postrouting {
    type nat hook postrouting priority srcnat; policy accept;
    jump postrouting_miniupnpd
    oifname "wan" counter masquerade comment "masquerade"
  }
  chain forward {
    type filter hook forward priority filter; policy drop;
    iifname "lan" oifname "wan" counter accept comment "lan_out"
    iifname "wan" ct state established,related counter accept comment "replies_in"
    iifname "wan" ct status dnat counter jump miniupnpd comment "mapped_in"
    iifname "wan" meta l4proto udp counter update @dropped_in { ip saddr . udp sport . udp dport } drop comment "forward_dropped"
    counter drop comment "other_dropped"
  }
  chain input {
    type filter hook input priority filter; policy accept;
    iifname "wan" meta l4proto udp ct state new counter update @dropped_in { ip saddr . udp sport . udp dport } drop comment "unsolicited_dropped"
  }
}
EOF
}

build_home() {
  local h=$1 lan_net=${LAN_NET[$1]}
  local nat lan inet
  nat=$(ns "nat$h")
  lan=$(ns "lan$h")
  inet=$(ns inet)
  ip netns add "$nat" && ip netns add "$lan" &&
    ip -n "$nat" link add wan type veth peer name "home$h" netns "$inet" &&
    ip -n "$nat" link add lan type veth peer name eth0 netns "$lan" &&
    ip -n "$inet" link set "home$h" master br0 up &&
    ip -n "$nat" addr add "${WAN_IP[$h]}/24" dev wan &&
    ip -n "$nat" addr add "$lan_net.1/24" dev lan &&
    ip -n "$lan" addr add "$lan_net.2/24" dev eth0 &&
    ip -n "$nat" link set lo up && ip -n "$nat" link set wan up && ip -n "$nat" link set lan up &&
    ip -n "$lan" link set lo up && ip -n "$lan" link set eth0 up &&
    ip -n "$lan" route add default via "$lan_net.1" &&
    run_in "nat$h" sysctl -qw net.ipv4.ip_forward=1 &&
    router_rules | run_in "nat$h" nft -f -
}

build_network() {
  local inet
  inet=$(ns inet)
  ip netns add "$inet" &&
    ip -n "$inet" link set lo up &&
    ip -n "$inet" link add br0 type bridge &&
    ip -n "$inet" addr add "$BOOT_IP/24" dev br0 &&
    ip -n "$inet" link set br0 up &&
    build_home A && build_home B
}

# miniupnpd on router H, ready once it serves HTTP (at most 5 seconds).
start_miniupnpd() {
  local h=$1 dir=$2
  cat >"$dir/miniupnpd$h.conf" <<EOF
ext_ifname=wan
listening_ip=lan
enable_natpmp=no
enable_upnp=yes
secure_mode=no
uuid=6b2a6b8e-6f1b-4a52-9d61-0c5e5a6f01$([[ $h == A ]] && echo 0a || echo 0b)
upnp_table_name=home
upnp_nat_table_name=home
upnp_forward_chain=miniupnpd
upnp_nat_chain=prerouting_miniupnpd
upnp_nat_postrouting_chain=postrouting_miniupnpd
allow 1024-65535 ${LAN_NET[$h]}.0/24 1024-65535
deny 0-65535 0.0.0.0/0 0-65535
EOF
  run_in "nat$h" "$MINIUPNPD" -d -f "$dir/miniupnpd$h.conf" -P "$dir/miniupnpd$h.pid" >"$dir/miniupnpd$h.log" 2>&1 &
  PIDS+=($!)
  wait_line "$dir/miniupnpd$h.log" "HTTP listening" 5 >/dev/null || {
    say "miniupnpd on router $h did not start:"
    cat "$dir/miniupnpd$h.log"
    return 1
  }
}

# ---------------------------------------------------------------- nodes

declare -A PROFILE ID

# Starts orvd for NAME in namespace ROLE with its own log; extra arguments
# follow.
launch_node() {
  local name=$1 role=$2 profile=${PROFILE[$1]}
  shift 2
  run_in "$role" env HOME="$RUN/home" XDG_RUNTIME_DIR="$RUN/xdg" \
    "$ORVD" --profile "$profile" --password-file "$RUN/$name.pw" --name "$name" "$@" \
    >"$profile/node.log" 2>&1 </dev/null &
  PIDS+=($!)
}

# True once NAME's control socket is open (at most SECONDS).
node_ready() { wait_line "${PROFILE[$1]}/node.log" "Control socket " "$2" >/dev/null; }

ctl() {
  local name=$1
  shift
  timeout 45 "$ORVD" ctl --profile "${PROFILE[$name]}" --timeout 30 "$@"
}

# A user id "%08X %08X ..." as the network file writes it.
spaced_id() { sed -E 's/(.{8})/\1 /g; s/ $//' <<<"$1"; }

# One key per user, made once in a namespace of its own with no network.
make_keys() {
  local name
  ip netns add "$(ns keys)" && ip -n "$(ns keys)" link set lo up || die "cannot make the key namespace"
  for name in boot alice bob; do
    PROFILE[$name]=$RUN/keys/$name
    mkdir -p "${PROFILE[$name]}"
    printf 'password of %s\n' "$name" >"$RUN/$name.pw"
    printf '[Network]\nLocalPort=0\nEnableUPnP=0\n' >"${PROFILE[$name]}/orv.set"
    printf '<?xml version="1.0"?>\n<users />\n' >"${PROFILE[$name]}/user.xml"
    launch_node "$name" keys
  done
  for name in boot alice bob; do
    node_ready "$name" 180 || die "orvd did not start for $name: $(tail -5 "${PROFILE[$name]}/node.log")"
    ID[$name]=$(ctl "$name" status | sed -nE 's/.* user=([0-9A-F]{64}).*/\1/p')
    [[ -n ${ID[$name]} ]] || die "orvd did not make a key for $name: $(tail -5 "${PROFILE[$name]}/node.log")"
    ctl "$name" quit >/dev/null
  done
  stop_case_processes
  delete_namespace "$(ns keys)"
}

# The profile of NAME for a case: its key, settings with UPnP on or off,
# and a network file that names the bootstrap node (none for the bootstrap
# node itself).
case_profile() {
  local name=$1 dir=$2 upnp=$3
  PROFILE[$name]=$dir/$name
  mkdir -p "${PROFILE[$name]}"
  cp "$RUN/keys/$name/orv.key" "${PROFILE[$name]}/"
  [[ -f $RUN/keys/$name/seed.bin ]] && cp "$RUN/keys/$name/seed.bin" "${PROFILE[$name]}/"
  printf '[Network]\nLocalPort=%s\nRemotePort=%s\nEnableUPnP=%s\n[Files]\nEnableLog=1\n' \
    "$PORT" "$PORT" "$upnp" >"${PROFILE[$name]}/orv.set"
  if [[ $name == boot ]]; then
    printf '<?xml version="1.0"?>\n<users />\n' >"${PROFILE[$name]}/user.xml"
  else
    printf '<?xml version="1.0"?>\n<users>\n\t<node ip="%s" port="%s" id="%s" />\n</users>\n' \
      "$BOOT_IP" "$PORT" "$(spaced_id "${ID[boot]}")" >"${PROFILE[$name]}/user.xml"
  fi
}

# ---------------------------------------------------------------- one case

declare -A R  # results: R[case,key]

# What each router let through and dropped, and what each home node
# knows of the others, for the report.
router_report() {
  local dir=$1 h name
  for name in alice bob; do
    {
      echo "== contacts"; ctl "$name" contacts
      echo "== peers all"; ctl "$name" peers all
      echo "== nodes"; ctl "$name" nodes
    } >"$dir/$name.state" 2>&1
  done
  for h in A B; do
    {
      echo "== router $h: nftables"
      run_in "nat$h" nft list table inet home
      echo "== router $h: conntrack (udp)"
      run_in "nat$h" grep -w udp /proc/net/nf_conntrack
    } >"$dir/router$h.txt" 2>&1
  done
}

# The datagrams a router dropped, from its table listing, in one line:
# "source:port>port xcount" for each source, port and destination port.
dropped_summary() {
  sed -n '/elements = {/,/}/p' "$1" | tr -d '\n\t' | sed -E 's/.*elements = \{ *//; s/ *\}.*//' | tr ',' '\n' |
    sed -nE 's/^ *([0-9.]+) \. ([0-9]+) \. ([0-9]+) counter packets ([0-9]+).*/\1:\2>\3 x\4/p' | tr '\n' ' '
}

elapsed() { echo "$(( ($2 - $1) / 100 ))" | sed -E 's/(.)$/.\1/; s/^\./0./'; }

# The other user of the pair.
other_of() { [[ $1 == alice ]] && echo bob || echo alice; }

# WHO locates OTHER: the address found, or "no" after 20 seconds.
locate() {
  local who=$1 other=$2 line
  line=$(ctl "$who" locate "${ID[$other]}")
  if [[ $line != *found=1* ]]; then
    wait_line "${PROFILE[$who]}/node.log" "event lookup_ended user=${ID[$other]} found=1" 20 >/dev/null &&
      line=$(grep -E "event lookup_ended user=${ID[$other]} found=1" "${PROFILE[$who]}/node.log" | tail -1)
  fi
  [[ $line == *found=1* ]] && sed -nE 's/.*address=([0-9.:]+).*/\1/p' <<<"$line" || echo no
}

# Starts NAME in its home's LAN: it speaks from a speech file (alice the
# caller's, bob the callee's) and its speaker is recorded in DIR.
launch_home_node() {
  local name=$1 dir=$2 role=lanA wav=caller_speech.wav
  [[ $name == bob ]] && role=lanB && wav=callee_speech.wav
  local voice=(--playback "$dir/${name}_heard.wav")
  [[ -f $AUDIO_DIR/$wav ]] && voice+=(--capture "$AUDIO_DIR/$wav" --capture-loop)
  launch_node "$name" "$role" "${voice[@]}"
}

# Starts the three nodes of case C. With a PASSIVE user, that one starts
# first, adds the other as contact, and has reached the bootstrap node and
# finished its first DHT lookups (5 seconds later) before the other
# starts, so that only what it does later on its own (its contacts are
# pinged or located every 31 seconds) can meet the other's datagrams; T0
# is the start of the later (or both) home nodes.
start_nodes() {
  local c=$1 dir=$2 upnp_a=$3 upnp_b=$4 passive=${5:-}
  case_profile boot "$dir" 0
  case_profile alice "$dir" "$upnp_a"
  case_profile bob "$dir" "$upnp_b"
  launch_node boot inet
  node_ready boot 60 || die "case $c: the bootstrap node did not start: $(tail -3 "${PROFILE[boot]}/node.log")"
  local name
  if [[ -n $passive ]]; then
    launch_home_node "$passive" "$dir"
    node_ready "$passive" 60 || die "case $c: node $passive did not start: $(tail -3 "${PROFILE[$passive]}/node.log")"
    ctl "$passive" add "${ID[$(other_of "$passive")]}" >/dev/null || die "case $c: 'add' failed"
    wait_line "${PROFILE[$passive]}/node.log" "event session_established user=${ID[boot]}" 60 >/dev/null ||
      die "case $c: $passive did not reach the bootstrap node"
    sleep 5
  fi
  T0=$(now_ms)
  for name in alice bob; do
    [[ $name == "$passive" ]] && continue
    launch_home_node "$name" "$dir"
  done
  for name in alice bob; do
    node_ready "$name" 60 || die "case $c: node $name did not start: $(tail -3 "${PROFILE[$name]}/node.log")"
  done
}

# Seconds from the start of the home nodes until a session of NAME with
# the bootstrap node ("no" after 60 seconds).
bootstrap_time() {
  local t
  t=$(wait_line "${PROFILE[$1]}/node.log" "event session_established user=${ID[boot]}" 60) &&
    echo "$(elapsed "$T0" "$t")s" || echo no
}

# The chat both ways, then a call from CALLER answered by the other side.
converse() {
  local c=$1 caller=$2 callee
  callee=$(other_of "$caller")
  wait_line "${PROFILE[bob]}/node.log" 'event chat .*text="hello from home A"' 20 >/dev/null && R[$c,chat_ab]=yes
  wait_line "${PROFILE[alice]}/node.log" 'event chat .*text="hello from home B"' 20 >/dev/null && R[$c,chat_ba]=yes
  ctl "$caller" call "${ID[$callee]}" >/dev/null &&
    wait_line "${PROFILE[$callee]}/node.log" "event incoming_call" 20 >/dev/null &&
    ctl "$callee" answer "${ID[$caller]}" >/dev/null &&
    wait_line "${PROFILE[$caller]}/node.log" 'event call_state .*name="IN VOICE"' 30 >/dev/null &&
    wait_line "${PROFILE[$callee]}/node.log" 'event call_state .*name="IN VOICE"' 10 >/dev/null &&
    R[$c,voice]=yes
  sleep 1
  ctl "$caller" hangup "${ID[$callee]}" >/dev/null
}

# One case: routers with or without miniupnpd; both users have each other
# as contacts; then either both locate and write to each other at once
# (MODE "both"), or the other user has been online for a while and only
# FIRST locates and writes, the other staying passive until the session is
# up (MODE "first"). Results go into R[C,...].
run_case() {
  local c=$1 upnp_a=$2 upnp_b=$3 mode=$4 first=$5 title=$6
  local dir=$RUN/case$c second text key who
  second=$(other_of "$first")
  mkdir -p "$dir"
  say "case $c: $title"
  R[$c,title]=$title
  R[$c,who]=$([[ $mode == both ]] && echo both || { [[ $first == alice ]] && echo "A only" || echo "B only"; })
  R[$c,upnp]="$([[ $upnp_a == 1 ]] && echo on || echo off)/$([[ $upnp_b == 1 ]] && echo on || echo off)"
  for key in locate_alice locate_bob session chat_ab chat_ba voice; do R[$c,$key]=no; done
  build_network || die "case $c: the namespaces could not be built"
  if [[ $upnp_a == 1 ]]; then start_miniupnpd A "$dir" || die "case $c: miniupnpd A"; fi
  if [[ $upnp_b == 1 ]]; then start_miniupnpd B "$dir" || die "case $c: miniupnpd B"; fi
  start_nodes "$c" "$dir" "$upnp_a" "$upnp_b" "$([[ $mode == first ]] && echo "$second")"

  ctl "$first" add "${ID[$second]}" >/dev/null || die "case $c: 'add' failed"
  if [[ $mode == both ]]; then ctl "$second" add "${ID[$first]}" >/dev/null || die "case $c: 'add' failed"; fi
  local boot_a boot_b
  boot_a=$([[ $mode == first && $second == alice ]] && echo earlier || bootstrap_time alice)
  boot_b=$([[ $mode == first && $second == bob ]] && echo earlier || bootstrap_time bob)
  R[$c,boot]="A $boot_a, B $boot_b"
  if [[ ${R[$c,boot]} == *no* ]]; then
    R[$c,broken]="a node did not reach the bootstrap node"
    router_report "$dir"
    return
  fi

  R[$c,locate_$first]=$(locate "$first" "$second")
  [[ $mode == both ]] && R[$c,locate_$second]=$(locate "$second" "$first") || R[$c,locate_$second]=-
  for who in "$first" $([[ $mode == both ]] && echo "$second"); do
    [[ $who == alice ]] && text="hello from home A" || text="hello from home B"
    ctl "$who" chat "${ID[$(other_of "$who")]}" "$text" >/dev/null
  done
  local t_sess
  t_sess=$(wait_line "${PROFILE[$first]}/node.log" "event session_established user=${ID[$second]}" "${HOMES_SESSION_WAIT:-45}") &&
    wait_line "${PROFILE[$second]}/node.log" "event session_established user=${ID[$first]}" 10 >/dev/null &&
    R[$c,session]="$(elapsed "$T0" "$t_sess")s"
  if [[ ${R[$c,session]} != no ]]; then
    if [[ $mode == first ]]; then
      [[ $second == alice ]] && text="hello from home A" || text="hello from home B"
      ctl "$second" chat "${ID[$first]}" "$text" >/dev/null
    fi
    converse "$c" "$first"
  fi
  router_report "$dir"
  R[$c,drop_a]=$(dropped_summary "$dir/routerA.txt")
  R[$c,drop_b]=$(dropped_summary "$dir/routerB.txt")
}

end_case() {
  local name
  for name in alice bob boot; do ctl "$name" quit >/dev/null 2>&1; done
  stop_case_processes
  delete_case_namespaces
}

# ---------------------------------------------------------------- main

trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

check_rights
remove_leftovers
RUN=$(mktemp -d "/tmp/${P}.XXXXXX")
mkdir -p "$RUN/home" "$RUN/xdg"
chmod 700 "$RUN/xdg"

start=$(now_ms)
make_keys
say "keys made in $(elapsed "$start" "$(now_ms)")s: boot ${ID[boot]:0:8} alice ${ID[alice]:0:8} (home A) bob ${ID[bob]:0:8} (home B)"

# HOMES_CASES="1 3a" runs only those cases (while working on one).
CASES=()
case_wanted() { [[ -z ${HOMES_CASES:-} || " $HOMES_CASES " == *" $1 "* ]]; }
one_case() {
  case_wanted "$1" || return 0
  CASES+=("$1")
  run_case "$@"
  end_case
}
one_case 1 0 0 both alice "no UPnP; both users add each other and write at once"
one_case 1a 0 0 first alice "no UPnP; A writes to passive B"
one_case 2 1 0 both alice "miniupnpd on router A, EnableUPnP=1 at A; both add and write"
one_case 2a 1 0 first alice "miniupnpd on router A, EnableUPnP=1 at A; A writes to passive B"
one_case 2b 1 0 first bob "miniupnpd on router A, EnableUPnP=1 at A; B writes to passive A"
one_case 3 1 1 both alice "miniupnpd on both routers, EnableUPnP=1 at both; both add and write"
one_case 3a 1 1 first alice "miniupnpd on both routers, EnableUPnP=1 at both; A writes to passive B"

say ""
say "| case | UPnP A/B | who writes | bootstrap reached | A locates B | B locates A | session | chat A->B | chat B->A | call IN VOICE |"
say "|---|---|---|---|---|---|---|---|---|---|"
for c in "${CASES[@]}"; do
  say "| $c | ${R[$c,upnp]} | ${R[$c,who]} | ${R[$c,boot]:-?} | ${R[$c,locate_alice]:-?} | ${R[$c,locate_bob]:-?} | ${R[$c,session]:-?} | ${R[$c,chat_ab]:-?} | ${R[$c,chat_ba]:-?} | ${R[$c,voice]:-?} |"
done
say "(times in seconds from the start of the home node(s) that write; a passive node was started, had reached the bootstrap node and waited 5 s before)"
say ""
for c in "${CASES[@]}"; do
  say "case $c dropped at router A (source:port>port xcount): ${R[$c,drop_a]:-none}"
  say "case $c dropped at router B (source:port>port xcount): ${R[$c,drop_b]:-none}"
done
say "total time $(elapsed "$start" "$(now_ms)")s"

failed=0
for c in "${CASES[@]}"; do
  if [[ -n ${R[$c,broken]:-} ]]; then
    say "FAILED: case $c: ${R[$c,broken]}"
    failed=1
  fi
done
for c in 3 3a; do
  case_wanted "$c" || continue
  if [[ ${R[$c,session]:-no} == no || ${R[$c,chat_ab]:-no} != yes || ${R[$c,chat_ba]:-no} != yes ||
    ${R[$c,voice]:-no} != yes ]]; then
    say "FAILED: case $c (UPnP on both sides) did not connect, chat both ways and call"
    failed=1
  fi
done
exit "$failed"
