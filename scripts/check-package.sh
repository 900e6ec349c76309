#!/usr/bin/env bash
# The Debian package, made and tried as a user would meet it:
#   1. `cpack -G DEB` in the build folder (default: build) makes
#      tunorva_<version>_amd64.deb; lintian must report no error and the
#      AppStream file must pass `appstreamcli validate`;
#   2. apt installs it; tunorva-cli runs from /usr/bin;
#   3. a throw-away user starts the installed demo engine and the window
#      under Xvfb, searches (xdotool types the keywords) and downloads one
#      found file, which must arrive whole in that user's music folder;
#   4. the package is removed.
# Every step is bounded in time. Whatever the script starts, installs or
# makes is undone on the way out, also when a step fails.
# Needs root: it installs a package and adds a user.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")

if [ "$(id -u)" -ne 0 ]; then
  echo "check-package: run as root (it installs a package and adds a user)"
  exit 1
fi
if dpkg-query -W -f='${Status}' tunorva 2>/dev/null | grep -q "ok installed"; then
  echo "check-package: tunorva is installed already; remove it first (this check removes what it installs)"
  exit 1
fi

work=$(mktemp -d /tmp/tunorva-package.XXXXXX)
chmod 755 "$work"
user=""
groups=()      # process groups started here, killed on the way out
installed=0

cleanup() {
  local status=$?
  trap - EXIT
  for group in "${groups[@]}"; do kill -- "-$group" 2>/dev/null || true; done
  sleep 0.5
  for group in "${groups[@]}"; do kill -KILL -- "-$group" 2>/dev/null || true; done
  if [ "$installed" -eq 1 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq tunorva >/dev/null 2>&1 || dpkg --purge tunorva >/dev/null 2>&1 || true
  fi
  [ -z "$user" ] || userdel "$user" 2>/dev/null || true
  rm -rf "$work"
  [ "$status" -eq 0 ] || echo "check-package: FAILED"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

fail() { echo "check-package: $*"; exit 1; }

# Waits up to $1 seconds for the command that follows to succeed.
wait_for() {
  local seconds=$1; shift
  local end=$((SECONDS + seconds))
  until "$@" 2>/dev/null; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.2
  done
}

# Starts a command in a process group of its own, remembered for cleanup.
start() {
  setsid "$@" &
  groups+=("$!")
}

echo "--- package"
rm -f "$build"/tunorva_*.deb
# cpack packs what is built; the build is brought up to date first (a no-op
# after the full build).
timeout 1800 cmake --build "$build" >"$work/build.log" || { tail -50 "$work/build.log"; fail "the build failed"; }
(cd "$build" && timeout 900 cpack -G DEB >"$work/cpack.log") || { cat "$work/cpack.log"; fail "cpack failed"; }
debs=("$build"/tunorva_*_amd64.deb)
deb=${debs[0]}
[ -f "$deb" ] || fail "no tunorva_<version>_amd64.deb in $build"
echo "$(basename "$deb"), $(stat -c %s "$deb") bytes"
dpkg-deb -f "$deb" Depends

outside=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v -E '^\./(usr(/.*)?)?$' || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
dpkg-deb -x "$deb" "$work/root"
for path in usr/bin/tunorva usr/bin/tunorva-cli usr/bin/tunorva-demo-engine \
            usr/share/applications/tunorva.desktop usr/share/icons/hicolor/48x48/apps/tunorva.png \
            usr/share/man/man1/tunorva-cli.1.gz usr/share/tunorva/Language/English.ini \
            usr/share/tunorva/Sounds/Start.wav usr/share/doc/tunorva/copyright; do
  [ -e "$work/root/$path" ] || fail "the package lacks /$path"
done
timeout 60 appstreamcli validate --no-net "$work"/root/usr/share/metainfo/*.metainfo.xml || fail "appstreamcli validate"
timeout 300 lintian --fail-on error --allow-root "$deb" || fail "lintian reports errors"

echo "--- install"
installed=1
DEBIAN_FRONTEND=noninteractive timeout 300 apt-get install -y -qq --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "apt-get install"; }
[ "$(command -v tunorva-cli)" = /usr/bin/tunorva-cli ] || fail "tunorva-cli is not /usr/bin/tunorva-cli"
query=$(cd / && timeout 20 /usr/bin/tunorva-cli query Abba Waterloo)
echo "$query"
grep -q "^type	and$" <<<"$query" || fail "tunorva-cli query"
status=0
timeout 20 /usr/bin/tunorva-cli >/dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] || fail "tunorva-cli without arguments exits $status, not 2"

echo "--- a user's first run"
user=tnv-check-$$
useradd --home-dir "$work/home" --create-home --shell /bin/sh "$user"
home="$work/home"
as_user() { runuser -u "$user" -- env -i HOME="$home" USER="$user" LOGNAME="$user" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"; }
# The desktop's music folder is ~/Musik for this user: downloads go to ~/Musik/Tunorva.
as_user mkdir -p "$home/.config/Tunorva" "$home/Musik"
as_user sh -c 'echo "XDG_MUSIC_DIR=\"\$HOME/Musik\"" > "$HOME/.config/user-dirs.dirs"'

# Each engine lists two files on one page. Its line per request tells when
# all four have been probed.
start runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin stdbuf -oL /usr/bin/tunorva-demo-engine \
  --port1 0 --port2 0 --pages 1 --per-page 2 --engines-ini "$home/.config/Tunorva/Engines.ini" >"$work/engine.log"
wait_for 20 test -s "$home/.config/Tunorva/Engines.ini" || fail "the demo engine did not start"

start Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -ac 3>"$work/display"
wait_for 20 grep -q '[0-9]' "$work/display" || fail "Xvfb did not start"
display=":$(tr -dc 0-9 <"$work/display")"

start runuser -u "$user" -- env -i HOME="$home" USER="$user" PATH=/usr/bin:/bin LANG=C.UTF-8 DISPLAY="$display" \
  /usr/bin/tunorva >"$work/tunorva.log" 2>&1
export DISPLAY=$display
# The main window (640 x 480 at the top-left corner) comes after the splash.
window=""
find_window() { window=$(xdotool search --onlyvisible --name '^Tunorva' | head -1) && [ -n "$window" ] &&
                [ "$(xdotool getwindowgeometry "$window" | grep -c '640x480')" -eq 1 ]; }
wait_for 30 find_window || { cat "$work/tunorva.log"; fail "the window did not show"; }
# The artist box has the focus at start: type, then Enter finds. The window's
# layout is fixed, so the found files' first row and the Download File button
# sit at known places.
sleep 1
xdotool windowfocus --sync "$window"
xdotool type --delay 20 "Abba"
xdotool key Return
probed() { [ "$(grep -c '\.mp3 -> ' "$work/engine.log")" -ge 4 ]; }
wait_for 30 probed || { cat "$work/engine.log"; fail "the search did not find and probe four files"; }
xdotool key ctrl+Tab                                # the Search page
sleep 0.5
xdotool mousemove --sync 210 172 click 1           # the first found file
sleep 0.3
xdotool mousemove --sync 211 32 click 1            # Download File
music="$home/Musik/Tunorva"
# The demo engine serves a clip behind a tag of the file's own: a whole file
# ends with a whole clip.
arrived() {
  local file clip
  for file in "$music"/*.mp3; do
    for clip in /usr/share/tunorva/DemoMedia/*.mp3; do
      cmp -s <(tail -c "$(stat -c %s "$clip")" "$file") "$clip" && return 0
    done
  done
  return 1
}
wait_for 30 arrived || {
  import -window root "$work/failed.png" 2>/dev/null && cp "$work/failed.png" "$build/check-package-failed.png" || true
  cat "$work/tunorva.log"; ls -la "$music" 2>/dev/null || true
  fail "no whole file arrived in $music (screenshot: $build/check-package-failed.png)"
}
echo "downloaded: $(cd "$music" && ls)"
# What the user saw, kept beside the package: the search, then Extra > Options
# with the music folder.
import -window root "$build/check-package-search.png" || true
xdotool key alt+e
sleep 0.5
xdotool key o
sleep 1
import -window root "$build/check-package-options.png" || true
xdotool key Escape
sleep 0.5
# Without a window manager nobody hands the focus back when a dialog closes.
xdotool windowfocus --sync "$window"
# File > Exit saves the settings in the user's settings folder.
xdotool key alt+f
sleep 0.5
xdotool key x
saved() { grep -q -x "MusicDir=$music/" "$home/.config/Tunorva/Tunorva.ini"; }
wait_for 20 saved || { cat "$work/tunorva.log"; fail "no settings in $home/.config/Tunorva/Tunorva.ini after Exit"; }

echo "--- remove"
for group in "${groups[@]}"; do kill -- "-$group" 2>/dev/null || true; done
DEBIAN_FRONTEND=noninteractive timeout 300 apt-get purge -y -qq tunorva >/dev/null
installed=0
[ ! -e /usr/bin/tunorva ] && [ ! -e /usr/share/tunorva ] || fail "files left after removing the package"
echo "check-package: passed"
