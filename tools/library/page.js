// The library page's script (library_page.cpp): sorting, filtering, the
// racer whose laps are shown, and the address that carries it all. It
// never writes markup: game text only ever reaches the page as text
// (textContent), and what it reads comes from the table's cells and the
// numbers the page gives in data- attributes.
(function () {
  'use strict';
  var table = document.getElementById('replays');
  if (!table) return;
  var svgNs = 'http://www.w3.org/2000/svg';
  var body = table.tBodies[0];
  var heads = table.tHead.rows[0].cells;
  var trackSelect = document.getElementById('filter-track');
  var typeSelect = document.getElementById('filter-type');
  var shown = document.getElementById('shown');
  // The rows in the page's order, the order shown, the racer selector and
  // the charts: read by start().
  var rows = [], order = new Map(), current = [], racerSelect = null, charts = [];
  // The racer chosen last, kept by the browser for the next visit.
  var remembered = 'replay-autosave.racer';

  function column(key) {
    for (var i = 0; i < heads.length; ++i) {
      if (heads[i].getAttribute('data-key') === key) return i;
    }
    return -1;
  }
  var trackColumn = column('track'), typeColumn = column('type');
  var whenColumn = column('when'), yoursColumn = column('yours');

  function same(a, b) { return a.toUpperCase() === b.toUpperCase(); }
  function known(row, col) { return !row.cells[col].classList.contains('unknown'); }
  var collator = new Intl.Collator(undefined, {numeric: true, sensitivity: 'base'});
  // What each row shows, read once per set of rows: a long season has
  // thousands of rows.
  var facts = new Map();
  function readFacts() {
    facts = new Map();
    rows.forEach(function (row) {
      var laps = new Map();
      (row.cells[yoursColumn].getAttribute('data-laps') || '').split(' ').forEach(function (pair) {
        var p = pair.split(':');
        if (p.length === 2) laps.set(Number(p[0]), Number(p[1]));
      });
      facts.set(row, {
        laps: laps,
        when: row.cells[whenColumn].textContent,
        track: known(row, trackColumn) ? row.cells[trackColumn].textContent.toUpperCase() : null,
        type: known(row, typeColumn) ? row.cells[typeColumn].textContent.toUpperCase() : null
      });
    });
  }
  // What a cell sorts by: its data-sort number; in a number column the
  // number or lap (m:ss.hh) its text begins with; else its text; null for
  // no fact.
  function sortKey(row, col) {
    if (!known(row, col)) return null;
    var cell = row.cells[col];
    var n = cell.getAttribute('data-sort');
    if (n !== null) return Number(n);
    var text = cell.textContent;
    if (heads[col].classList.contains('number')) {
      var lap = /^(\d+):(\d\d)\.(\d\d)/.exec(text);
      if (lap) return lap[1] * 6000 + lap[2] * 100 + +lap[3];
      if (/^\d+$/.test(text)) return Number(text);
    }
    return text;
  }
  function compare(a, b) {
    if (typeof a === 'number' && typeof b === 'number') return a - b;
    return collator.compare(String(a), String(b));
  }
  // The select's choices after "all": the values of the column's rows.
  function fill(select, col) {
    while (select.options.length > 1) select.remove(1);
    var values = [];
    rows.forEach(function (row) {
      var v = row.cells[col].textContent;
      if (known(row, col) && values.indexOf(v) < 0) values.push(v);
    });
    values.sort(compare).forEach(function (v) { select.add(new Option(v, v)); });
  }
  function choose(select, value) {
    select.selectedIndex = value ? -1 : 0;
    for (var i = 1; i < select.options.length; ++i) {
      if (value && same(select.options[i].value, value)) select.selectedIndex = i;
    }
  }
  // A lap in hundredths as m:ss.hh, as the page writes laps.
  function lapText(h) {
    var s = Math.floor(h / 100) % 60, c = h % 100;
    return Math.floor(h / 6000) + ':' + (s < 10 ? '0' : '') + s + '.' + (c < 10 ? '0' : '') + c;
  }
  // "YYYY-MM-DD HH:MM:SS" as days since 1970-01-01, as the charts place races.
  function dayNumber(text) {
    var m = /^(\d+)-(\d\d)-(\d\d) (\d\d):(\d\d):(\d\d)$/.exec(text);
    if (!m) return NaN;
    var d = new Date(0);
    d.setUTCFullYear(+m[1], +m[2] - 1, +m[3]);
    return d.getTime() / 864e5 + (m[4] * 3600 + m[5] * 60 + +m[6]) / 86400;
  }
  function racerIndex(name) {
    if (!racerSelect) return -1;
    for (var i = 0; i < racerSelect.options.length; ++i) {
      if (name && same(racerSelect.options[i].value, name)) return i;
    }
    return Number(racerSelect.getAttribute('data-default'));
  }
  // The racer's lap in the row's race: data-laps holds "racer:hundredths" pairs.
  function lapOf(row, racer) { return facts.get(row).laps.get(racer) || 0; }
  function stored() {
    try { return localStorage.getItem(remembered) || ''; } catch (e) { return ''; }
  }

  // The state in the address: sort=[-]KEY, track=NAME, type=CODE, racer=NAME.
  function readState() {
    var state = {sort: 'when', desc: true, track: '', type: '', racer: stored()};
    location.hash.replace(/^#/, '').split('&').forEach(function (part) {
      var eq = part.indexOf('=');
      if (eq < 0) return;
      var name = part.slice(0, eq), value;
      try { value = decodeURIComponent(part.slice(eq + 1).replace(/\+/g, ' ')); } catch (e) { return; }
      if (name === 'sort') {
        var desc = value.charAt(0) === '-';
        var key = desc ? value.slice(1) : value;
        if (column(key) >= 0) { state.sort = key; state.desc = desc; }
      } else if (name === 'track' || name === 'type' || name === 'racer') {
        state[name] = value;
      }
    });
    return state;
  }
  function writeState(state) {
    var parts = ['sort=' + (state.desc ? '-' : '') + state.sort];
    ['track', 'type', 'racer'].forEach(function (name) {
      if (state[name]) parts.push(name + '=' + encodeURIComponent(state[name]));
    });
    location.replace('#' + parts.join('&'));
    apply();
  }

  // The racer's lap and personal bests in the table: a race in which they
  // beat their earlier best on its track. Rows are newest first.
  var shownRacer = null, shownPersonal = null;
  function showLaps(racer) {
    if (racer === shownRacer) return shownPersonal;
    var best = new Map(), personal = new Set();
    for (var i = rows.length - 1; i >= 0; --i) {
      var row = rows[i], lap = lapOf(row, racer);
      if (!lap) continue;
      var track = facts.get(row).track;
      if (best.has(track) && lap < best.get(track)) personal.add(row);
      if (!best.has(track) || lap < best.get(track)) best.set(track, lap);
    }
    rows.forEach(function (row) {
      var cell = row.cells[yoursColumn], lap = lapOf(row, racer);
      cell.textContent = lap ? lapText(lap) : '-';
      cell.classList.toggle('unknown', !lap);
      if (lap) cell.setAttribute('data-sort', lap); else cell.removeAttribute('data-sort');
      if (personal.has(row)) {
        var badge = document.createElement('span');
        badge.className = 'pb-badge';
        badge.textContent = 'PB';
        cell.appendChild(badge);
      }
    });
    shownRacer = racer;
    shownPersonal = personal;
    return personal;
  }

  function svg(name, attrs) {
    var e = document.createElementNS(svgNs, name);
    for (var k in attrs) e.setAttribute(k, attrs[k]);
    return e;
  }
  function px(v) { return v.toFixed(1); }
  // One track's chart for the racer: their races of the rows shown by type
  // on their own axes (drawn by the page, one set per racer).
  function drawChart(chart, racer, type, personal) {
    var axes = null;
    chart.querySelectorAll('g.axes').forEach(function (g) {
      var mine = Number(g.getAttribute('data-racer')) === racer;
      g.toggleAttribute('hidden', !mine);
      if (mine) axes = g;
    });
    var track = chart.querySelector('h3').textContent.toUpperCase();
    var points = [];
    for (var i = rows.length - 1; i >= 0; --i) {
      var row = rows[i], lap = lapOf(row, racer), f = facts.get(row);
      if (!lap || f.track !== track) continue;
      if (type && f.type !== type.toUpperCase()) continue;
      points.push({row: row, lap: lap, day: dayNumber(f.when)});
    }
    var plot = chart.querySelector('g.plot');
    while (plot.firstChild) plot.removeChild(plot.firstChild);
    var note = chart.querySelector('.best-lap');
    if (!axes || !points.length) { note.textContent = ''; return false; }
    var box = chart.querySelector('svg').getAttribute('data-plot').split(' ').map(Number);
    var scale = axes.getAttribute('data-scale').split(' ').map(Number);
    function x(day) { return box[0] + (day - scale[2]) / (scale[3] - scale[2]) * (box[1] - box[0]); }
    function y(lap) { return box[3] - (lap - scale[0]) / (scale[1] - scale[0]) * (box[3] - box[2]); }
    var line = [], steps = [], best = 0, bestPoint = null;
    points.forEach(function (p) {
      var at = px(x(p.day));
      line.push(at + ',' + px(y(p.lap)));
      if (!best || p.lap < best) {
        if (best) steps.push(at + ',' + px(y(best)));
        best = p.lap;
        bestPoint = p;
        steps.push(at + ',' + px(y(best)));
      }
    });
    steps.push(px(x(points[points.length - 1].day)) + ',' + px(y(best)));
    plot.appendChild(svg('polyline', {'class': 'best', points: steps.join(' ')}));
    plot.appendChild(svg('polyline', {'class': 'laps', points: line.join(' ')}));
    points.forEach(function (p) {
      var pb = personal.has(p.row);
      var dot = svg('circle', {'class': pb ? 'race pb' : 'race', cx: px(x(p.day)), cy: px(y(p.lap))});
      var title = svg('title', {});
      var kind = p.row.cells[typeColumn];
      title.textContent = facts.get(p.row).when + '  ' + lapText(p.lap) +
                          (pb ? '  personal best' : '') + (known(p.row, typeColumn) ? '  ' + kind.textContent : '');
      dot.appendChild(title);
      plot.appendChild(dot);
    });
    note.textContent = points.length + (points.length === 1 ? ' race' : ' races') + ', your best ' +
                       lapText(best) + ' on ' + facts.get(bestPoint.row).when;
    return true;
  }

  function apply() {
    var state = readState();
    var col = column(state.sort);
    var racer = racerIndex(state.racer);
    var personal = showLaps(racer);
    var keys = new Map();
    rows.forEach(function (row) { keys.set(row, sortKey(row, col)); });
    var sorted = rows.slice().sort(function (a, b) {
      var ka = keys.get(a), kb = keys.get(b);
      if (ka === null || kb === null) {
        if (ka !== kb) return ka === null ? 1 : -1;
      } else {
        var c = compare(ka, kb);
        if (c !== 0) return state.desc ? -c : c;
      }
      return order.get(a) - order.get(b);
    });
    var count = 0;
    // Moving thousands of rows costs a layout each: only when the order changed.
    var moved = sorted.some(function (row, i) { return row !== current[i]; });
    current = sorted;
    sorted.forEach(function (row) {
      var show = (!state.track || (known(row, trackColumn) &&
                                   same(row.cells[trackColumn].textContent, state.track))) &&
                 (!state.type || (known(row, typeColumn) &&
                                  same(row.cells[typeColumn].textContent, state.type)));
      row.hidden = !show;
      if (show) ++count;
      if (moved) body.appendChild(row);
    });
    for (var i = 0; i < heads.length; ++i) {
      heads[i].setAttribute('aria-sort', i !== col ? 'none' : state.desc ? 'descending' : 'ascending');
    }
    shown.textContent = count + ' of ' + rows.length + ' shown';
    charts.forEach(function (chart) {
      var drawn = drawChart(chart, racer, state.type, personal);
      chart.hidden = !drawn || (!!state.track && !same(chart.querySelector('h3').textContent, state.track));
    });
    choose(trackSelect, state.track);
    choose(typeSelect, state.type);
    if (racerSelect) racerSelect.selectedIndex = racer;
  }

  Array.prototype.forEach.call(heads, function (head) {
    head.querySelector('button').addEventListener('click', function () {
      var state = readState(), key = head.getAttribute('data-key');
      state.desc = state.sort === key ? !state.desc : key === 'when';
      state.sort = key;
      writeState(state);
    });
  });
  [trackSelect, typeSelect].forEach(function (select) {
    select.addEventListener('change', function () {
      var state = readState();
      state[select === trackSelect ? 'track' : 'type'] = select.value;
      writeState(state);
    });
  });
  function chooseRacer() {
    var state = readState();
    state.racer = racerSelect.value;
    try { localStorage.setItem(remembered, state.racer); } catch (e) { /* not kept */ }
    writeState(state);
  }
  window.addEventListener('hashchange', apply);

  // The rows, the racers and the charts as the page holds them now. The
  // racer chosen is kept by name, as the racers' numbers in data-laps are
  // their places in the selector, which a new racer shifts.
  function start() {
    rows = Array.prototype.slice.call(body.rows);
    order = new Map();
    current = rows.slice();
    rows.forEach(function (row, i) { order.set(row, i); });
    readFacts();
    // The library app may have put a new selector in place of ours (a
    // listener added twice to one element is added once).
    racerSelect = document.getElementById('racer');
    if (racerSelect) racerSelect.addEventListener('change', chooseRacer);
    charts = Array.prototype.slice.call(document.querySelectorAll('.chart'));
    shownRacer = null;
    fill(trackSelect, trackColumn);
    fill(typeSelect, typeColumn);
    apply();
  }
  // The library app puts the server's rows, racers and charts in place of
  // ours when a race is saved (app.js).
  document.addEventListener('ra-rows', start);
  start();
})();
