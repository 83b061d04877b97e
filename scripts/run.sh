#!/usr/bin/env bash
# Builds the portal and starts it against the practice auction site, in a demo working folder
# of its own (the programs work in their working directory). Installs what is missing first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)"

work=${TARNWICK_DEMO_DIR:-$root/demo}
mkdir -p "$work/windows"
cp "$build/portal/tarn11" "$root/portal/dummy.htm" "$work/"
if [ -x "$build/agent/fresh" ]; then
  cp "$build/agent/fresh" "$work/fresh"
  cp "$build/agent/fresh" "$work/rerav.iru"  # the name under which the portal starts the agent
fi
cp "$build"/tools/fakes/* "$work/"

# The practice site on a free port; it stops when this script ends.
coproc SITE { exec python3 "$root/tools/practice_site/practice_site.py" 0 --watch-stdin; }
read -r _ _ port <&"${SITE[0]}"
trap 'kill "$SITE_PID" 2>/dev/null || true' EXIT
echo "practice auction site on http://127.0.0.1:$port (items in tools/practice_site/README.md)"

export TARNWICK_WINDIR="$work/windows"
ini="$TARNWICK_WINDIR/tarnwick.ini"
site="http://127.0.0.1:$port"
python3 - "$ini" "$site" <<'PY'
import configparser, sys
path, site = sys.argv[1], sys.argv[2]
ini = configparser.RawConfigParser()
ini.optionxform = str
ini.read(path)
for section in ("hosts", "prefs"):
    if not ini.has_section(section):
        ini.add_section(section)
for key in ("item", "bids", "time"):
    ini.set("hosts", key, site)
if not ini.get("prefs", "edtEbayMember", fallback=""):
    ini.set("prefs", "edtEbayMember", "tarnbuyer")
with open(path, "w", newline="\r\n") as f:
    ini.write(f, space_around_delimiters=False)
PY

cd "$work"
./tarn11
