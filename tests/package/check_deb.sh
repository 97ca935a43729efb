#!/usr/bin/env bash
# The Debian package of a build directory: `cpack -G DEB` makes it (in a
# temporary folder, the build directory is left as it is), and the package
# must hold the programs, the desktop entry, the icons, the metainfo and the
# systemd unit under /usr, with fields and Depends a package manager takes.
# It is then tried out without installing it: unpacked into the temporary
# folder, whose orvd and orv answer --help.
#   check_deb.sh BUILD_DIR
# Exit 77 (skipped) when dpkg-deb is not there.
set -euo pipefail

build=$(cd "${1:?usage: check_deb.sh BUILD_DIR}" && pwd)
if ! command -v dpkg-deb >/dev/null; then
  echo "dpkg-deb not found: the package is not checked"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

cpack -G DEB -B "$work/out" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log"
  echo "FAIL: cpack did not make the package"
  exit 1
}
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
arch=$(dpkg --print-architecture)
deb="$work/out/orv_${version}_${arch}.deb"
[ -f "$deb" ] || { ls "$work/out"; echo "FAIL: no $deb"; exit 1; }
echo "made $(basename "$deb")"

# The files, as the package manager will lay them out.
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$work/files"
for f in /usr/bin/orv /usr/bin/orvd /usr/lib/systemd/system/orvd.service \
         /usr/share/applications/orv.desktop /usr/share/metainfo/net.orv_telephone.orv.metainfo.xml \
         /usr/share/icons/hicolor/scalable/apps/orv.svg /usr/share/icons/hicolor/48x48/apps/orv.png \
         /usr/share/icons/hicolor/128x128/apps/orv.png /usr/share/icons/hicolor/256x256/apps/orv.png; do
  grep -qx "$f" "$work/files" || fail "the package lacks $f"
done
if grep -v '^/usr/' "$work/files" | grep -q .; then fail "files outside /usr: $(grep -v '^/usr/' "$work/files" | tr '\n' ' ')"; fi

# The control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = orv ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)'"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
[ "$(field Section)" = comm ] || fail "Section is '$(field Section)'"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer is '$(field Maintainer)'"
[ "$(field Description | wc -l)" -ge 3 ] || fail "Description has no long text"

# Depends: what dpkg-shlibdeps found, each entry a package (with a version
# bound), among them the libraries the programs are built on.
depends=$(field Depends)
echo "Depends: $depends"
IFS=',' read -ra entries <<<"$depends"
[ "${#entries[@]}" -ge 5 ] || fail "Depends has only ${#entries[@]} entries"
names=()
for e in "${entries[@]}"; do
  e=$(echo "$e" | sed 's/^ *//;s/ *$//')
  [[ "$e" =~ ^[a-z0-9][a-z0-9+.-]+(\ \((\>=|\<=|=|\>\>|\<\<)\ [^\)]+\))?$ ]] || fail "Depends entry '$e'"
  names+=("${e%% *}")
done
for lib in libc6 libstdc++6 libqt6widgets6 libqt6dbus6 libspeex1 libspeexdsp1 libportaudio2 libpugixml1v5 libminiupnpc; do
  found=0
  for n in "${names[@]}"; do
    # libminiupnpc's package name carries its soname number.
    [[ "$n" == "$lib" || ( "$lib" == libminiupnpc && "$n" =~ ^libminiupnpc[0-9]+$ ) ]] && found=1
  done
  [ "$found" = 1 ] || fail "Depends lacks $lib"
done

# The files themselves.
root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop="$root/usr/share/applications/orv.desktop"
for line in "Name=ORV Telephone" "Exec=orv" "Icon=orv" "Type=Application" \
            "Categories=Network;Telephony;InstantMessaging;"; do
  grep -qx "$line" "$desktop" || fail "orv.desktop lacks '$line'"
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$root/usr/share/metainfo/net.orv_telephone.orv.metainfo.xml" >"$work/as.log" 2>&1 ||
    { cat "$work/as.log"; fail "appstreamcli validate"; }
fi
grep -q '^ExecStart=/usr/bin/orvd ' "$root/usr/lib/systemd/system/orvd.service" ||
  fail "orvd.service does not start /usr/bin/orvd"
for png in 48 128 256; do
  size=$(od -An -tu1 -j16 -N8 "$root/usr/share/icons/hicolor/${png}x${png}/apps/orv.png" | awk '{print $3*256+$4, $7*256+$8}')
  [ "$size" = "$png $png" ] || fail "the ${png}x${png} icon is $size"
done

# Tried out unpacked: the programs start and answer.
"$root/usr/bin/orvd" --help >"$work/orvd.txt" || fail "orvd --help exits $?"
grep -q '^Usage: orvd' "$work/orvd.txt" || fail "orvd --help says: $(head -1 "$work/orvd.txt")"
"$root/usr/bin/orv" --help >"$work/orv.txt" || fail "orv --help exits $?"
grep -q '^usage: orv' "$work/orv.txt" || fail "orv --help says: $(head -1 "$work/orv.txt")"

if [ "$failures" -ne 0 ]; then
  echo "$failures checks of the package failed"
  exit 1
fi
echo "the package is complete"
