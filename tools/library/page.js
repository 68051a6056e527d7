// The library page's script (library_page.cpp): sorting, filtering, the
// racer whose laps are shown, the charts of their laps (chart.js draws
// them), and the address that carries it all. It never writes markup: game
// text only ever reaches the page as text (textContent), and what it reads
// comes from the table's cells and the numbers the page gives in data-
// attributes.
(function () {
  'use strict';
  var table = document.getElementById('replays');
  if (!table) return;
  var body = table.tBodies[0];
  var heads = table.tHead.rows[0].cells;
  var trackSelect = document.getElementById('filter-track');
  var typeSelect = document.getElementById('filter-type');
  var shown = document.getElementById('shown');
  // The rows in the page's order, the order shown, the racer selector, the
  // races the charts are drawn from and their rows by id: read by start().
  var rows = [], order = new Map(), current = [], racerSelect = null;
  var races = [], rowOf = new Map(), chartsDrawn = null;
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
  // The races of the rows for the charts: {id, when, track, type, laps_by:
  // {racer: hundredths}}. A race is known by its row's place: a file's name
  // can be a removed race's and the later race's that replaced it.
  function racesOf(rows) {
    rowOf = new Map();
    return rows.map(function (row, i) {
      var f = facts.get(row), laps = {}, id = String(i);
      rowOf.set(id, row);
      f.laps.forEach(function (lap, racer) {
        if (racerSelect && racerSelect.options[racer]) laps[racerSelect.options[racer].value] = lap;
      });
      return {id: id, when: f.when, laps_by: laps,
              track: f.track === null ? '' : row.cells[trackColumn].textContent,
              type: f.type === null ? '' : row.cells[typeColumn].textContent};
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
  function address(state) {
    var parts = ['sort=' + (state.desc ? '-' : '') + state.sort];
    ['track', 'type', 'racer'].forEach(function (name) {
      if (state[name]) parts.push(name + '=' + encodeURIComponent(state[name]));
    });
    return '#' + parts.join('&');
  }
  function writeState(state) {
    location.replace(address(state));
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

  // The charts (chart.js): per track one of the racer's laps, of one race
  // type at a time, by default the type they drove most there; the table's
  // filters narrow them. Each chart's own choices are kept by track while
  // the page is open. `races` are [{id, when, track, type, laps_by}];
  // state: the racer (racer; in the address: racerParam, maybe empty),
  // whether they are the player (yours), and the table's sort and filters.
  // Each chart is drawn to the width it gets: again when the window changes.
  var chartChoices = new Map(), chartDraws = [], resizing = null;
  window.addEventListener('resize', function () {
    clearTimeout(resizing);
    resizing = setTimeout(function () { chartDraws.forEach(function (draw) { draw(); }); }, 200);
  });
  function drawCharts(container, races, state) {
    while (container.firstChild) container.removeChild(container.firstChild);
    chartDraws = [];
    if (!window.raLapCharts || !state.racer) return;
    var racer = state.racer.toUpperCase(), tracks = new Map();
    races.forEach(function (race) {
      if (!race.track || !race.type) return;
      var driven = Object.keys(race.laps_by).some(function (name) { return same(name, racer); });
      if (!driven) return;
      // Each chart looks through its own track's races alone.
      var key = race.track.toUpperCase(), type = race.type.toUpperCase();
      if (!tracks.has(key)) tracks.set(key, {name: race.track, types: new Map(), races: []});
      var types = tracks.get(key).types;
      types.set(type, (types.get(type) || 0) + 1);
      tracks.get(key).races.push(race);
    });
    var keys = Array.from(tracks.keys()).sort(compare), today = raLapCharts.today();
    if (!keys.length) {
      var none = document.createElement('p');
      none.className = 'summary';
      none.textContent = 'No lap of ' + state.racer + ' on record yet.';
      container.appendChild(none);
    }
    // Every chart's box is in place before any is drawn, as each is drawn
    // to the width it gets beside the others.
    keys.forEach(function (key) {
      var track = tracks.get(key), section = document.createElement('section');
      section.className = 'chart';
      container.appendChild(section);
      var types = Array.from(track.types, function (t) { return {code: t[0], races: t[1]}; })
        .filter(function (t) { return !state.type || same(t.code, state.type); })
        .sort(function (a, b) { return b.races - a.races || compare(a.code, b.code); });
      section.hidden = !types.length || (!!state.track && !same(track.name, state.track));
      if (!types.length) return;
      var chosen = chartChoices.get(key) || {};
      var type = types.some(function (t) { return t.code === chosen.type; }) ? chosen.type : types[0].code;
      var span = chosen.window || 'all';
      function draw() {
        var data = raLapCharts.points(track.races, {track: track.name, type: type, racer: state.racer,
                                              window: span, today: today});
        raLapCharts.render(section, data, {
          track: track.name, type: type, racer: state.racer, yours: state.yours, window: span,
          today: today, types: types,
          rowsHref: address({sort: state.sort, desc: state.desc, track: track.name, type: type,
                             racer: state.racerParam}),
          detailsHref: detailsOf,
          onPick: pickRow,
          onChoose: function (picked) {
            type = picked.type;
            span = picked.window;
            chartChoices.set(key, picked);
            draw();
          }
        });
      }
      chartDraws.push(draw);
    });
    chartDraws.forEach(function (draw) { draw(); });
  }
  // A dot of a chart opens its race's details where the row offers them
  // (the library app), else shows its row.
  function detailsOf(id) {
    var details = rowOf.has(id) ? rowOf.get(id).querySelector('a[href^="/race?"]') : null;
    return details ? details.getAttribute('href') : null;
  }
  function pickRow(id) {
    var row = rowOf.get(id);
    if (!row) return;
    rows.forEach(function (r) { r.classList.remove('picked'); });
    row.classList.add('picked');
    row.tabIndex = -1;
    row.scrollIntoView({block: 'center'});
    row.focus();
  }

  function apply() {
    var state = readState();
    var col = column(state.sort);
    var racer = racerIndex(state.racer);
    showLaps(racer);
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
    // The charts again only when what they show changed, not on every sort.
    var charts = document.getElementById('charts');
    var chartsKey = [racer, state.racer, state.track, state.type, state.sort, state.desc].join('\n');
    if (charts && racerSelect && chartsKey !== chartsDrawn) {
      chartsDrawn = chartsKey;
      drawCharts(charts, races, {
        racer: racerSelect.options[racer].value, racerParam: state.racer, sort: state.sort,
        desc: state.desc, track: state.track, type: state.type,
        yours: racerSelect.getAttribute('data-player') === String(racer)
      });
    }
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
  // The link under a chart filters the table by its address, and shows it.
  document.addEventListener('click', function (event) {
    if (event.target.closest && event.target.closest('.chart-rows')) table.scrollIntoView();
  });

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
    races = racesOf(rows);
    chartsDrawn = null;
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
