#!/usr/bin/env bash
# Pictures of the desktop program's windows: two orv users, Alice and Bob,
# on a virtual X display with a tray, each with a profile of its own. Bob
# connects to Alice with "Connect to...", they chat, Bob calls and Alice
# answers, Bob sends a file that Alice saves with "Save As..." and a second
# one that she refuses; they open every tool window, the settings, the
# contact commands' dialogs and the password dialogs. Carol, whose password
# is not remembered, shows the splash and "Enter Password"; Dave, who has
# no key yet, the new key's password and "Collecting random data". Each
# window is captured in each state as a PNG.
#
#   screenshots.sh BUILD_DIR [OUT_DIR]
#
# BUILD_DIR holds src/gui/orv and src/orvd; OUT_DIR (default
# build/screenshots) receives the pictures. Needs Xvfb, trayer, xdotool,
# xwininfo and ImageMagick's import (scripts/install-deps.sh screenshots).
# The keys are made by orvd with a password file and the password is
# remembered in the profile's settings, so orv asks for nothing.
set -euo pipefail

die() {
  echo "screenshots: $*" >&2
  exit 1
}

[ $# -ge 1 ] || die "usage: screenshots.sh BUILD_DIR [OUT_DIR]"
build=$(cd "$1" && pwd)
out=${2:-build/screenshots}
orv=$build/src/gui/orv
orvd=$build/src/orvd
[ -x "$orv" ] || die "no orv in $build/src/gui"
[ -x "$orvd" ] || die "no orvd in $build/src"
for tool in Xvfb trayer xdotool xwininfo import; do
  command -v "$tool" >/dev/null || die "$tool is missing (scripts/install-deps.sh screenshots)"
done
mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out"/*.png "$out/titles.txt"

work=$(mktemp -d)
chmod 700 "$work"
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Sanitizer builds: the sound system's plug-ins leave allocations behind.
export ASAN_OPTIONS=detect_leaks=0
# The program's own Qt style, whatever the desktop around says.
unset QT_QPA_PLATFORM QT_STYLE_OVERRIDE WAYLAND_DISPLAY

# Waits up to $3 seconds for the pattern $2 in the file $1.
wait_for_line() {
  local file=$1 pattern=$2 limit=$(($3 * 5)) i
  for ((i = 0; i < limit; i++)); do
    grep -q -- "$pattern" "$file" 2>/dev/null && return 0
    sleep 0.2
  done
  die "no \"$pattern\" in $file after $3 s"
}

# The id of the visible window of process $1 whose title matches $2,
# waiting up to 20 s for it.
window_of() {
  local pid=$1 title=$2 i id
  for ((i = 0; i < 100; i++)); do
    id=$(xdotool search --all --onlyvisible --pid "$pid" --name "$title" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && echo "$id" && return 0
    sleep 0.2
  done
  die "no window \"$title\" of process $pid"
}

# Captures window $1 as $out/$2.png, in front of the others. The display
# has no window manager to draw title bars: titles.txt lists each picture
# with its window's title.
shot() {
  xdotool windowraise "$1"
  sleep 0.4
  import -window "$1" "$out/$2.png"
  printf '%s.png\t%s\n' "$2" "$(xdotool getwindowname "$1")" >>"$out/titles.txt"
  echo "  $2.png"
}

# The whole screen as $out/$1.png (menus, and the windows side by side).
screen_shot() {
  sleep 0.4
  import -window root "$out/$1.png"
  echo "  $1.png"
}

# Keys for window $1 (focused first): xdotool key arguments.
keys() {
  local id=$1
  shift
  xdotool windowfocus --sync "$id"
  xdotool key --delay 60 "$@"
}

# Text typed into window $1.
type_into() {
  xdotool windowfocus --sync "$1"
  xdotool type --delay 25 "$2"
}

# A click at ($2, $3) inside window $1.
click() {
  xdotool windowraise "$1"
  xdotool mousemove --window "$1" "$2" "$3" click 1
}

# A click $2 pixels left of and $3 pixels above the bottom right corner of
# window $1 (the buttons of a dialog).
click_from_corner() {
  local width height
  read -r width height < <(xdotool getwindowgeometry "$1" | awk '/Geometry:/ { sub("x", " ", $2); print $2 }')
  click "$1" $((width - $2)) $((height - $3))
}
save_as_button=(137 23)
cancel_button=(52 23)

# --- the display, with a tray for the programs' icons ---
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
for ((i = 0; i < 50; i++)); do
  [ -s "$work/display" ] && break
  sleep 0.2
done
[ -s "$work/display" ] || die "Xvfb did not start: $(cat "$work/xvfb.log")"
display=$(head -n 1 "$work/display")
export DISPLAY=":$display"
trayer --edge top --align right --widthtype request --height 24 --SetDockType true >"$work/trayer.log" 2>&1 &
pids+=($!)

# --- two users: keys made by orvd, the password remembered ---
make_user() {
  local name=$1 info=$2 profile=$work/$1
  mkdir -p "$profile" "$work/$name-files"
  cat >"$profile/orv.set" <<EOF
[Network]
LocalPort=0
EnableUPnP=0
[Password]
Remember=1
[Files]
FileTransferPath=$work/$name-files
[Privacy]
AllowAnyone=1
AllowConnectionRequest=1
AcceptFileTransfer=1
[System]
ShowSplashWindow=0
EOF
  echo "password of $name" >"$work/$name.pw"
  "$orvd" --profile "$profile" --password-file "$work/$name.pw" --name "$info" >"$work/$name-orvd.log" 2>&1 &
  local pid=$!
  wait_for_line "$work/$name-orvd.log" "Control socket " 120
  "$orvd" ctl --profile "$profile" quit >/dev/null
  wait "$pid" || die "orvd of $name ended badly: $(tail -n 3 "$work/$name-orvd.log")"
}

start_orv() {
  local name=$1
  "$orv" --profile "$work/$name" >"$work/$name.log" 2>&1 &
  started_pid=$!
  pids+=("$started_pid")
  wait_for_line "$work/$name.log" "Bootstrap started" 120
}

echo "making the keys of Alice and Bob"
make_user alice Alice
make_user bob Bob
echo "starting orv twice on $DISPLAY; pictures in $out"
start_orv alice
alice_pid=$started_pid
start_orv bob
bob_pid=$started_pid
alice_port=$(grep -o "Listening on UDP port [0-9]*" "$work/alice.log" | head -n 1 | grep -o "[0-9]*$")

alice_main=$(window_of "$alice_pid" "^ORV Telephone - ")
bob_main=$(window_of "$bob_pid" "^ORV Telephone - ")
xdotool windowmove "$alice_main" 0 30
xdotool windowmove "$bob_main" 1075 30
shot "$alice_main" alice-main
shot "$bob_main" bob-main
screen_shot screen-start

# --- Bob connects to Alice: "Connect to..." in the Network menu ---
keys "$bob_main" alt+n
screen_shot screen-bob-network-menu
keys "$bob_main" Down Return
connect=$(window_of "$bob_pid" "^Connect to IP:port$")
xdotool windowmove "$connect" 860 300
type_into "$connect" "127.0.0.1"
keys "$connect" Tab
type_into "$connect" "$alice_port"
shot "$connect" bob-connect-to
keys "$connect" Return
# Titled "<unknown>" until the session tells who answered.
bob_chat=$(window_of "$bob_pid" "^(<unknown>|Alice) - ")
xdotool windowmove "$bob_chat" 650 30
shot "$bob_chat" bob-chat-opened

# --- a chat ---
type_into "$bob_chat" "Hello Alice, are you there?"
keys "$bob_chat" Return
shot "$bob_chat" bob-chat-sending
alice_chat=$(window_of "$alice_pid" "^Bob - ")
xdotool windowmove "$alice_chat" 205 30
sleep 1
shot "$alice_chat" alice-chat-received
type_into "$alice_chat" "Hi Bob! Yes, I am."
shot "$bob_chat" bob-chat-alice-typing
keys "$alice_chat" Return
sleep 1.5
shot "$alice_chat" alice-chat-replied
shot "$bob_chat" bob-chat-reply

# --- a call: the call button at the bottom left of the chat window ---
call_x=18
mute_x=56
buttons_y=381
click "$bob_chat" $call_x $buttons_y
sleep 0.5
shot "$bob_chat" bob-chat-dialing
ring=$(window_of "$alice_pid" "^Income Call$")
xdotool windowmove "$ring" 205 480
shot "$ring" alice-ring
click "$ring" 62 56  # OK
sleep 2
shot "$alice_chat" alice-chat-in-call
shot "$bob_chat" bob-chat-in-call
click "$bob_chat" $mute_x $buttons_y
sleep 0.5
shot "$bob_chat" bob-chat-muted
screen_shot screen-call
click "$bob_chat" $call_x $buttons_y  # hang up
sleep 1.5
shot "$alice_chat" alice-chat-after-call
shot "$bob_chat" bob-chat-after-call

# --- a file: "&Transfer file" in Bob's chat menu, "Save As..." at Alice's ---
# Large enough that the transfer is still running when it is captured.
head -c 60000000 /dev/urandom >"$work/holiday.jpg"
printf 'a short list\n' >"$work/list.txt"
send_file() {
  keys "$bob_chat" alt+c
  sleep 0.3
  keys "$bob_chat" Return
  local open
  open=$(window_of "$bob_pid" "^Open$")
  [ -n "${1:-}" ] && shot "$open" "$1"
  type_into "$open" "$2"
  keys "$open" Return
}
send_file bob-open-file-dialog "$work/holiday.jpg"
bob_transfer=$(window_of "$bob_pid" "^holiday.jpg$")
xdotool windowmove "$bob_transfer" 650 480
alice_transfer=$(window_of "$alice_pid" "^holiday.jpg$")
xdotool windowmove "$alice_transfer" 205 480
shot "$bob_transfer" bob-transfer-waiting
shot "$alice_transfer" alice-transfer-request
click_from_corner "$alice_transfer" "${save_as_button[@]}"
save=$(window_of "$alice_pid" "^Save As$")
shot "$save" alice-save-as-dialog
keys "$save" Return
sleep 1.5
shot "$alice_transfer" alice-transfer-receiving
shot "$bob_transfer" bob-transfer-sending
screen_shot screen-transfer
for ((i = 0; i < 600; i++)); do
  [ "$(stat -c %s "$work/alice-files/holiday.jpg" 2>/dev/null || echo 0)" = 60000000 ] && break
  sleep 0.5
done
sleep 1
shot "$alice_transfer" alice-transfer-complete
shot "$bob_transfer" bob-transfer-complete
click_from_corner "$alice_transfer" "${cancel_button[@]}"  # Close
click_from_corner "$bob_transfer" "${cancel_button[@]}"

# A second file, which Alice turns down.
send_file "" "$work/list.txt"
alice_refused=$(window_of "$alice_pid" "^list.txt$")
bob_refused=$(window_of "$bob_pid" "^list.txt$")
xdotool windowmove "$alice_refused" 205 480
xdotool windowmove "$bob_refused" 650 480
click_from_corner "$alice_refused" "${cancel_button[@]}"
sleep 1.5
shot "$bob_refused" bob-transfer-refused

# --- Bob keeps Alice: "&Add to favorite list" ---
keys "$bob_chat" alt+c
sleep 0.3
keys "$bob_chat" Down Return
sleep 1
shot "$bob_main" bob-main-with-contact

# --- About, from Bob's Help menu ---
keys "$bob_main" alt+h
sleep 0.3
keys "$bob_main" Down Return
about=$(window_of "$bob_pid" "About")
shot "$about" bob-about
keys "$about" Escape
screen_shot screen-end

# --- Alice's tool windows from her Network menu: "Log", and "Downloads"
# with the file she saved and the popup menu of its row ---
keys "$alice_main" alt+n o
alice_log=$(window_of "$alice_pid" "^Log$")
xdotool windowmove "$alice_log" 205 30
shot "$alice_log" alice-log
keys "$alice_main" alt+n d
alice_downloads=$(window_of "$alice_pid" "^Downloads$")
xdotool windowmove "$alice_downloads" 205 480
shot "$alice_downloads" alice-downloads
xdotool windowraise "$alice_downloads"
xdotool mousemove --window "$alice_downloads" 60 28 click 3  # the first row
screen_shot screen-alice-downloads-menu
keys "$alice_downloads" Escape

# --- Settings, from Bob's main window (Ctrl+S): each of its five tabs ---
keys "$bob_main" ctrl+s
settings=$(window_of "$bob_pid" "^Settings$")
xdotool windowmove "$settings" 300 100
for tab in file network privacy user audio; do
  [ "$tab" = file ] || keys "$settings" ctrl+Tab
  sleep 0.3
  shot "$settings" "bob-settings-$tab"
done
keys "$settings" Escape  # Cancel: nothing changes

# --- Bob's network tool windows, from the Network menu ---
# "Show n&etwork window": every peer with its session state.
keys "$bob_main" alt+n e
network=$(window_of "$bob_pid" "^Network List$")
xdotool windowmove "$network" 205 480
xdotool windowsize "$network" 860 260
sleep 1.5  # a refresh at the new size
shot "$network" bob-network-list
# A right click on Alice's row: the rows' menu.
xdotool mousemove --window "$network" 60 36 click 3
screen_shot screen-bob-network-row-menu
xdotool key Escape
keys "$network" Escape  # hidden again
# "Show k&ademlia window": the routing table bucket by bucket; End shows
# the last buckets, where other users' nodes mostly are.
keys "$bob_main" alt+n a
kademlia=$(window_of "$bob_pid" "^Kademlia List$")
xdotool windowmove "$kademlia" 205 480
xdotool windowsize "$kademlia" 860 260
sleep 1.5
keys "$kademlia" End
shot "$kademlia" bob-kademlia-list
keys "$kademlia" Escape
# "Find User": Alice by name.
keys "$bob_main" alt+n Down Down Return
find=$(window_of "$bob_pid" "^Find user$")
xdotool windowmove "$find" 205 480
xdotool windowsize "$find" 860 260
type_into "$find" "Alice"
keys "$find" Return
sleep 1
shot "$find" bob-find-user
keys "$find" Escape

# --- Bob's contact commands on Alice's row: the row's popup menu, "Info",
# "Rename", the "Authorize" question, and "Request Connection", which shows
# Alice the "Connection Request" ---
# The popup's item N (from 1) is chosen by pressing Down N times.
contact_command() {
  xdotool windowraise "$bob_main"
  xdotool mousemove --window "$bob_main" 50 36 click 3  # Alice's row
  sleep 0.4
  [ "${2:-}" = menu ] && screen_shot screen-bob-contact-menu
  local i
  for ((i = 0; i < $1; i++)); do xdotool key Down; done
  xdotool key Return
}
contact_command 6 menu # "Info"
info=$(window_of "$bob_pid" "^User Info$")
xdotool windowmove "$info" 650 480
shot "$info" bob-contact-info
keys "$info" Escape
contact_command 4 # "Rename"
rename=$(window_of "$bob_pid" "^Rename$")
xdotool windowmove "$rename" 650 480
shot "$rename" bob-rename
keys "$rename" Escape  # Cancel keeps the name
contact_command 1 # "Authorize"
question=$(window_of "$bob_pid" "^Question$")
xdotool windowmove "$question" 650 480
shot "$question" bob-authorize-question
keys "$question" Escape  # No
contact_command 3 # "Request Connection"
request=$(window_of "$alice_pid" "^Connection Request$")
xdotool windowmove "$request" 205 480
shot "$request" alice-connection-request
keys "$request" Escape

# --- Bob's File menu: "&My information", "&Change Password/user info" and
# "&Generate Key" (each password dialog left with Cancel) ---
keys "$bob_main" alt+f m
mine=$(window_of "$bob_pid" "^User Info$")
xdotool windowmove "$mine" 650 480
shot "$mine" bob-my-information
keys "$mine" Escape
keys "$bob_main" alt+f c
change=$(window_of "$bob_pid" "^Password$")
xdotool windowmove "$change" 650 300
shot "$change" bob-change-password
keys "$change" Escape
keys "$bob_main" ctrl+g
generate=$(window_of "$bob_pid" "^Password$")
xdotool windowmove "$generate" 650 300
shot "$generate" bob-generate-key
keys "$generate" Escape

# --- both end in order on SIGTERM ---
kill -TERM "$alice_pid" "$bob_pid"
wait "$alice_pid" || die "orv of Alice ended with $?"
wait "$bob_pid" || die "orv of Bob ended with $?"
pids=("${pids[@]:0:2}")  # only the display and the tray are left

# --- Carol, whose password is not remembered: the splash and "Enter
# Password" as her orv starts; she gives up ---
make_user carol Carol
sed -i -e 's/^Remember=1$/Remember=0/' -e '/^Pass=/d' -e 's/^ShowSplashWindow=0$/ShowSplashWindow=1/' "$work/carol/orv.set"
"$orv" --profile "$work/carol" >"$work/carol.log" 2>&1 &
carol_pid=$!
pids+=("$carol_pid")
enter=$(window_of "$carol_pid" "^Enter Password$")
xdotool windowmove "$enter" 450 300
screen_shot screen-carol-splash-and-password
shot "$enter" carol-enter-password
kill -TERM "$carol_pid" 2>/dev/null || true

# --- Dave, who has no key yet: the key's password, then the "Collecting
# random data" prompt, which he closes ---
mkdir -p "$work/dave"
printf '[Network]\nLocalPort=0\nEnableUPnP=0\n[System]\nShowSplashWindow=0\n' >"$work/dave/orv.set"
"$orv" --profile "$work/dave" >"$work/dave.log" 2>&1 &
dave_pid=$!
pids+=("$dave_pid")
new_key=$(window_of "$dave_pid" "^Password$")
xdotool windowmove "$new_key" 450 300
type_into "$new_key" "password of Dave"
keys "$new_key" Tab
type_into "$new_key" "password of Dave"
shot "$new_key" dave-new-key-password
keys "$new_key" Return
entropy=$(window_of "$dave_pid" "^Collecting random data$")
xdotool windowmove "$entropy" 450 300
type_into "$entropy" "a few keys and the mouse stir the pool of random bits; 800 events fill it"
xdotool mousemove --window "$entropy" 20 20 mousemove --window "$entropy" 120 40 mousemove --window "$entropy" 200 30
shot "$entropy" dave-collecting-random-data
kill -TERM "$dave_pid" 2>/dev/null || true
echo "$(find "$out" -name '*.png' | wc -l) pictures in $out"
