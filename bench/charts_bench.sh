#!/usr/bin/env bash
# charts_bench.sh WORK
# The lap charts (tools/serve/scripts/chart.js) at scale, in headless Chromium:
# 50,000 races over five years (about 27 a day on four tracks and three race
# types, four racers each). Prints the median of five tries of working out
# one chart's data (points) and of drawing it (render, with the layout that
# follows), for the windows all, a year and 90 days.
set -euo pipefail
work=$1
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$work"
cp "$here/../tools/serve/scripts/chart.js" "$here/../tools/library/page/page.css" "$work/"
cat >"$work/charts_bench.html" <<'PAGE'
<!DOCTYPE html><html lang="en"><head><meta charset="utf-8"><title>charts</title>
<link rel="stylesheet" href="page.css"><script src="chart.js"></script></head><body>
<div class="charts" id="charts"></div><pre id="result"></pre><script>
var C = window.raLapCharts, races = [], tracks = ['ALPINE', 'CITY', 'COAST', 'CANYON'], types = ['SR', 'ST', 'SK'];
for (var i = 0; i < 50000; ++i) {
  var day = new Date(Date.UTC(2021, 0, 1) + Math.floor(i / 27.4) * 864e5).toISOString().slice(0, 10);
  races.push({id: String(i), when: day + ' 20:' + String(i % 60).padStart(2, '0') + ':00', track: tracks[i % 4],
              type: types[i % 3], laps_by: {Player: 9000 - Math.floor(i / 100) + i * 37 % 300,
                                           Rival: 8800 + i % 200, Other: 9100, Fourth: 9200}});
}
function median(f) {
  var times = [], result;
  for (var k = 0; k < 5; ++k) { var t = performance.now(); result = f(); times.push(performance.now() - t); }
  times.sort(function (a, b) { return a - b; });
  return {ms: times[2].toFixed(1), result: result};
}
var lines = [];
['all', '365', '90'].forEach(function (window) {
  var query = {track: 'ALPINE', type: 'SR', racer: 'player', window: window, today: '2025-12-31'};
  var data = median(function () { return C.points(races, query); });
  var section = document.createElement('section');
  document.getElementById('charts').appendChild(section);
  var drawn = median(function () {
    C.render(section, data.result, {track: 'ALPINE', type: 'SR', racer: 'Player', yours: true, window: window,
                                    today: '2025-12-31', rowsHref: '#', detailsHref: null, onPick: null});
    return document.body.getBoundingClientRect();
  });
  lines.push('window ' + window + ': points ' + data.ms + ' ms (' + data.result.races + ' of 50000 races), render ' +
             drawn.ms + ' ms (' + data.result.points.length + ' days, ' + data.result.pbs.length + ' personal bests)');
});
document.getElementById('result').textContent = lines.join('\n');
</script></body></html>
PAGE
profile=$(mktemp -d "$work/profile.XXXXXX")
timeout 300 chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking \
  --user-data-dir="$profile" --dump-dom "file://$work/charts_bench.html" 2>/dev/null |
  sed -n '/<pre id="result">/,/<\/pre>/p' | sed 's/.*<pre id="result">//; s/<\/pre>.*//'
rm -rf "$profile"
