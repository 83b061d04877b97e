#!/usr/bin/env bash
# Builds the two programs and starts the portal against the practice auction site. The demo is
# an installed copy (cmake --install, with the fake outside programs beside it) in a folder of
# its own, where the programs work; its watch list stays there between runs. Installs what is
# missing first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Only what the demo runs: the portal and the agent (the fakes are laid out when configuring).
cmake --build "$build" -j"$(nproc)" --target tarn11 fresh

demo=${TARNWICK_DEMO_DIR:-$root/demo}
cmake --install "$build" --prefix "$demo"
cmake --install "$build" --prefix "$demo" --component demo
work="$demo/tarnwick"
mkdir -p "$demo/windows"

# The practice site on a free port; it stops when this script ends.
coproc SITE { exec python3 "$root/tools/practice_site/practice_site.py" 0 --watch-stdin; }
read -r _ _ port <&"${SITE[0]}"
trap 'kill "$SITE_PID" 2>/dev/null || true' EXIT
echo "practice auction site on http://127.0.0.1:$port (items in tools/practice_site/README.md)"

export TARNWICK_WINDIR="$demo/windows"
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
