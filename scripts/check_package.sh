#!/usr/bin/env bash
# Installs build/zolksat_*.deb as an operator would (apt install ./FILE), checks that the installed
# program and its manual page work, then removes the package and checks nothing of it is left.
# Needs root (or sudo); run scripts/package.sh first.
set -euo pipefail
cd "$(dirname "$0")/.."
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
apt_get() { DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get "$@"; }

debs=(build/zolksat_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "check_package.sh: expected one build/zolksat_*.deb" >&2; exit 1; }
deb="$PWD/${debs[0]}"
if dpkg-query -W -f='${Status}' zolksat 2>/dev/null | grep -q 'install ok installed'; then
  echo "check_package.sh: zolksat is already installed here; not touching it" >&2
  exit 1
fi

dpkg_config=/etc/dpkg/dpkg.cfg.d
lifted=()
restore() {
  for file in "${lifted[@]}"; do "${sudo_cmd[@]}" mv "$file.zolksat-check" "$file"; done
}
trap restore EXIT
# Minimal Debian images tell dpkg to leave out /usr/share/man. Lifted for this check only (the
# package's manual page is what is being checked), and put back when it ends.
for file in "$dpkg_config"/*; do
  if [ -f "$file" ] && grep -q '^path-exclude=/usr/share/man' "$file"; then
    echo "check_package.sh: $file keeps manual pages out of installed packages; lifted for this check"
    "${sudo_cmd[@]}" mv "$file" "$file.zolksat-check"
    lifted+=("$file")
  fi
done

command -v man >/dev/null || apt_get install -y --no-install-recommends man-db
apt_get install -y --no-install-recommends "$deb"
mapfile -t installed < <(dpkg-query -L zolksat)

version="$(zolksat --version)"
expected="zolksat $(dpkg-deb -f "$deb" Version)"
[ "$version" = "$expected" ] || { echo "check_package.sh: zolksat --version says '$version', not '$expected'" >&2; exit 1; }
echo "installed: $(command -v zolksat): $version"
page="$(MANPAGER=cat MANWIDTH=80 man zolksat 2>&1)"
for text in "zolksat - sound-card data modem" "--listen-any" "EXIT STATUS" "zolksat@.service"; do
  grep -qF -- "$text" <<<"$page" || { echo "check_package.sh: man zolksat lacks '$text':" >&2; echo "$page" | head -20 >&2; exit 1; }
done
echo "man zolksat: $(man -w zolksat)"
for program in zolk-phy zolk-session zolk-tables; do man -w "$program" >/dev/null; done
zolk-session --help >/dev/null
zolk-phy modes >/dev/null
# The installed units, as systemd would load them, where systemd's tools are at hand.
if command -v systemd-analyze >/dev/null; then
  units="$(mktemp -d)"
  cp /usr/lib/systemd/system/zolksat@.service "$units/zolksat@root.service"
  systemd-analyze verify "$units/zolksat@root.service"
  rm -rf "$units"
  echo "systemd-analyze verify: the installed system unit loads"
else
  echo "systemd-analyze is not installed: the units' command line and stop signal are checked by shell_test only"
fi
# The installed tables file is zolk-tables' output, and the installed program finds it: a
# headless station starts in a scratch folder and stops in order on SIGTERM.
scratch="$(mktemp -d)"
zolk-tables "$scratch/ZOLKSAT.dat" >/dev/null
cmp "$scratch/ZOLKSAT.dat" /usr/share/zolksat/ZOLKSAT.dat
mkdir "$scratch/station"
printf '[Setup]\nTCP Command Port=%d\n' $((40000 + RANDOM % 20000)) >"$scratch/station/ZOLK SAT.ini"
(cd / && exec env -u DISPLAY -u WAYLAND_DISPLAY zolksat --headless --dir "$scratch/station") >"$scratch/panels" 2>"$scratch/log" &
station=$!
for _ in $(seq 1 150); do grep -q 'SIGTERM stops it' "$scratch/log" && break; sleep 0.1; done
kill -TERM "$station"
status=0
wait "$station" || status=$?
if [ "$status" -ne 0 ] || ! grep -q 'Stopped; settings saved' "$scratch/log"; then
  echo "check_package.sh: the installed station did not start and stop in order (status $status):" >&2
  cat "$scratch/log" >&2
  exit 1
fi
echo "headless start and SIGTERM stop of the installed program: status 0"
rm -rf "$scratch"

apt_get remove -y zolksat
if dpkg-query -W -f='${Status}' zolksat 2>/dev/null | grep -q 'installed'; then
  echo "check_package.sh: zolksat still installed after removal" >&2
  exit 1
fi
left=()
for path in "${installed[@]}"; do
  [ -f "$path" ] || [ -L "$path" ] && left+=("$path")
done
if [ ${#left[@]} -gt 0 ]; then
  echo "check_package.sh: files left after removal: ${left[*]}" >&2
  exit 1
fi
echo "check_package.sh: installed, ran and removed cleanly (${#installed[@]} paths)"
