#!/usr/bin/env bash
# Google's Lighthouse, phone profile, on the bakery test page in every look
# (the page of tests/e2e/themes.py with a photo-like 4000 x 3000 JPEG), built
# by the real program and served from 127.0.0.1. Prints each look's four
# category scores and the page's total weight; exits 1 when a category is
# below 95 or accessibility below 100.
#
#     bash bench/lighthouse.sh [build-folder]
# Lighthouse (npm, version pinned) is installed into BUILD/npm-lighthouse once.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
tools="$build/npm-lighthouse"
if [[ ! -x "$tools/node_modules/.bin/lighthouse" ]]; then
  mkdir -p "$tools"
  [[ -f "$tools/package.json" ]] || echo '{"private": true}' > "$tools/package.json"
  (cd "$tools" && npm i -E --no-audit --no-fund lighthouse@12.2.3 >/dev/null)
fi
work=$(mktemp -d /tmp/zentarek-lighthouse-XXXXXX)
server=""
cleanup() {
  [[ -n "$server" ]] && kill "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
# A photo with a phone photo's detail and size (4000 x 3000, about 4 MB), not a flat drawing.
"$build/bench/bench_photos" make "$work/foto.jpg"
python3 tests/e2e/themes.py "$build/bin/zentarek" --pages "$work/strony" "$work/foto.jpg" >/dev/null
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$work/strony" >/dev/null 2>&1 &
server=$!
for _ in $(seq 50); do
  python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/', timeout=1)" 2>/dev/null && break
  sleep 0.1
done

status=0
printf '%-10s %12s %14s %15s %5s %12s\n' look performance accessibility best-practices seo weight
for look in prosty elegancki ciemny; do
  report="$work/$look.json"
  CHROME_PATH=/usr/bin/chromium "$tools/node_modules/.bin/lighthouse" "http://127.0.0.1:$port/$look/index.html" \
    --quiet --output=json --output-path="$report" --form-factor=mobile \
    --only-categories=performance,accessibility,best-practices,seo \
    --chrome-flags="--headless=new --no-sandbox --disable-gpu --user-data-dir=$work/profile-$look"
  python3 - "$report" "$look" <<'PY' || status=1
import json, sys
report = json.load(open(sys.argv[1]))
scores = {k: round(v["score"] * 100) for k, v in report["categories"].items()}
weight = report["audits"]["total-byte-weight"]["numericValue"] / 1024
print("%-10s %12d %14d %15d %5d %9.0f kB" % (sys.argv[2], scores["performance"], scores["accessibility"],
                                            scores["best-practices"], scores["seo"], weight))
low = [k for k, v in scores.items() if v < 95] + (["accessibility"] if scores["accessibility"] < 100 else [])
for audit in report["audits"].values():
    if low and audit.get("score") is not None and audit["score"] < 0.9 and audit.get("scoreDisplayMode") != "informative":
        print("    %s: %s %s" % (audit["id"], audit["score"], audit.get("displayValue", "")))
sys.exit(1 if low else 0)
PY
done
exit $status
