// The library page's script (library_page.cpp): it draws the races' table
// from the library's data, a page of rows at a time, and sorts, filters and
// searches it; it chooses the racer whose laps are shown and keeps it all in
// the address. The data is the page's own (page_data.h) when the page was
// written to disk, or the library app's answers (app.js) when it is served.
// It never writes markup: game text only ever reaches the page as text
// (textContent).
(function () {
  'use strict';
  var table = document.getElementById('replays');
  if (!table) return;
  var body = table.tBodies[0];
  var heads = table.tHead.rows[0].cells;
  var others = document.getElementById('others');
  var select = {
    track: document.getElementById('filter-track'),
    type: document.getElementById('filter-type'),
    weather: document.getElementById('filter-weather')
  };
  var textBox = document.getElementById('filter-text');
  var pbBox = document.getElementById('filter-pb');
  var keptBox = document.getElementById('filter-kept');
  var racerSelect = document.getElementById('racer');
  var shown = document.getElementById('shown');
  var more = document.getElementById('more');
  // Rows drawn at once, and again each time the player asks for more.
  var pageRows = 100;
  // The racer chosen last, kept by the browser for the next visit.
  var remembered = 'replay-autosave.racer';
  // Shown where a replay has no fact to give.
  var unknown = '-';
  var stateWords = ['', 'removed', 'replaced by a later race', 'renamed from '];

  function same(a, b) { return a.toUpperCase() === b.toUpperCase(); }
  var collator = new Intl.Collator(undefined, {numeric: true, sensitivity: 'base'});
  function two(n) { return (n < 10 ? '0' : '') + n; }
  // Seconds since 1970 of the local time as written, as "YYYY-MM-DD HH:MM:SS".
  function timeText(seconds) {
    var d = new Date(seconds * 1000);
    return d.getUTCFullYear() + '-' + two(d.getUTCMonth() + 1) + '-' + two(d.getUTCDate()) + ' ' +
           two(d.getUTCHours()) + ':' + two(d.getUTCMinutes()) + ':' + two(d.getUTCSeconds());
  }
  function stored() {
    try { return localStorage.getItem(remembered) || ''; } catch (e) { return ''; }
  }

  // The page's own data: its rows as the script's races, in the shape of
  // the app's rows (each lap with its text, as the companion wrote it), the
  // personal bests worked out here as list works them out, per track.
  function pageSource(data) {
    var facts = data.facts, texts = data.texts, racers = facts.racers, lapTexts = data.lap_texts || {};
    // A lap's text as the page's data gives it; '' for none.
    function textOfLap(h) { return h && lapTexts[h] || ''; }
    var races = [], files = [];
    data.rows.forEach(function (r) {
      var laps = {}, lapsText = {};
      for (var i = 0; i + 1 < r[9].length; i += 2) {
        laps[racers[r[9][i]]] = r[9][i + 1];
        lapsText[racers[r[9][i]]] = textOfLap(r[9][i + 1]);
      }
      var entry = {
        id: String(races.length + files.length), file: r[0], when: timeText(r[1]),
        type: texts[r[2]], track: texts[r[3]], laps: texts[r[4]], cars: texts[r[5]],
        weather: texts[r[6]], lap: r[7], lap_text: textOfLap(r[7]), lap_by: texts[r[8]],
        laps_by: laps, laps_by_text: lapsText,
        state: ['saved', 'missing', 'replaced', 'renamed'][r[10] || 0],
        kind: ['race', 'backup', 'unrecorded'][r[11] || 0], copy: r[12] === 1,
        details: r[13] !== 1, renamed_from: r[14] || '', kept: false
      };
      entry.name = entry.track ? entry.track + ', ' + entry.when.slice(0, 16) : entry.file;
      (entry.kind === 'race' ? races : files).push(entry);
    });
    function choices(key) {
      var seen = {}, values = [];
      races.forEach(function (r) {
        if (r[key] && !seen[r[key]]) { seen[r[key]] = true; values.push(r[key]); }
      });
      return values.sort(function (a, b) { return collator.compare(a, b); });
    }
    facts.tracks = choices('track');
    facts.types = choices('type');
    facts.weather = choices('weather');
    // The racer's lap in each race and their personal bests: a race in
    // which they beat their earlier best on its track. Rows are newest first.
    var lapsFor = null;
    function yours(racer) {
      if (lapsFor === racer) return;
      var best = new Map();
      for (var i = races.length - 1; i >= 0; --i) {
        var r = races[i], lap = 0;
        Object.keys(r.laps_by).forEach(function (name) {
          if (same(name, racer) && (!lap || r.laps_by[name] < lap)) lap = r.laps_by[name];
        });
        r.yours = lap;
        r.yours_text = textOfLap(lap);
        r.pb = false;
        if (!lap) continue;
        var track = r.track ? r.track.toUpperCase() : null;
        if (best.has(track) && lap < best.get(track)) r.pb = true;
        if (!best.has(track) || lap < best.get(track)) best.set(track, lap);
      }
      lapsFor = racer;
    }
    var sortKeys = {
      when: function (r) { return r.when; }, type: function (r) { return r.type || null; },
      track: function (r) { return r.track || null; }, weather: function (r) { return r.weather || null; },
      laps: function (r) { return r.laps ? Number(r.laps) : null; },
      cars: function (r) { return r.cars ? Number(r.cars) : null; },
      lap: function (r) { return r.lap || null; }, yours: function (r) { return r.yours || null; },
      file: function (r) { return r.file; }
    };
    function compare(a, b) {
      if (typeof a === 'number' && typeof b === 'number') return a - b;
      return collator.compare(String(a), String(b));
    }
    function matches(r, q) {
      if (q.track && !same(r.track, q.track)) return false;
      if (q.type && !same(r.type, q.type)) return false;
      if (q.weather && !same(r.weather, q.weather)) return false;
      if (q.pb && !r.pb) return false;
      if (q.text) {
        var t = q.text.toUpperCase();
        if (r.file.toUpperCase().indexOf(t) < 0 &&
            !Object.keys(r.laps_by).some(function (n) { return n.toUpperCase().indexOf(t) >= 0; })) {
          return false;
        }
      }
      return true;
    }
    var last = {key: null, rows: null};
    return {
      facts: function () { return Promise.resolve(facts); },
      rows: function (q, offset, limit) {
        yours(q.racer);
        var key = JSON.stringify([q.sort, q.desc, q.track, q.type, q.weather, q.pb, q.text, q.racer]);
        if (last.key !== key) {
          var sortKey = sortKeys[q.sort] || sortKeys.when, order = new Map();
          var picked = races.filter(function (r) { return matches(r, q); });
          picked.forEach(function (r, i) { order.set(r, i); });
          picked.sort(function (a, b) {
            var ka = sortKey(a), kb = sortKey(b);
            if (ka === null || kb === null) {
              if (ka !== kb) return ka === null ? 1 : -1;
            } else {
              var c = compare(ka, kb);
              if (c !== 0) return q.desc ? -c : c;
            }
            return order.get(a) - order.get(b);
          });
          last = {key: key, rows: picked};
        }
        return Promise.resolve({total: last.rows.length, of: races.length,
                                rows: last.rows.slice(offset, offset + limit)});
      },
      others: function () { return Promise.resolve(files); },
      // The charts: the track and type pairs the racer has laps in, and one
      // chart's points, worked out here as the app works them out.
      chartGroups: function (racer) {
        var groups = new Map();
        races.forEach(function (r) {
          if (!r.track || !r.type) return;
          if (!Object.keys(r.laps_by).some(function (n) { return same(n, racer); })) return;
          var key = r.track.toUpperCase() + '\n' + r.type.toUpperCase();
          if (!groups.has(key)) groups.set(key, {track: r.track, type: r.type, races: 0});
          groups.get(key).races++;
        });
        return Promise.resolve(Array.from(groups.values()));
      },
      chart: function (query) {
        var track = query.track.toUpperCase();
        var mine = races.filter(function (r) { return r.track.toUpperCase() === track; });
        return Promise.resolve(window.raLapCharts.points(mine, query));
      },
      // Where a race is among the rows of a query: -1 when it is not.
      position: function (q, id) {
        this.rows(q, 0, 0);
        return last.rows.findIndex(function (r) { return r.id === id; });
      }
    };
  }

  var source = window.raLibraryApp ? window.raLibraryApp.source : null;
  if (!source) {
    var data = document.getElementById('library-data');
    if (!data) return;
    source = pageSource(JSON.parse(data.textContent));
  }

  // The state in the address: sort=[-]KEY, track, type, weather, racer, q
  // (the search), pb=1, kept=1.
  var textKeys = ['track', 'type', 'weather', 'racer', 'q'];
  function column(key) {
    for (var i = 0; i < heads.length; ++i) {
      if (heads[i].getAttribute('data-key') === key) return i;
    }
    return -1;
  }
  function readState() {
    var state = {sort: 'when', desc: true, track: '', type: '', weather: '', racer: stored(),
                 q: '', pb: false, kept: false};
    location.hash.replace(/^#/, '').split('&').forEach(function (part) {
      var eq = part.indexOf('=');
      if (eq < 0) return;
      var name = part.slice(0, eq), value;
      try { value = decodeURIComponent(part.slice(eq + 1).replace(/\+/g, ' ')); } catch (e) { return; }
      if (name === 'sort') {
        var desc = value.charAt(0) === '-';
        var key = desc ? value.slice(1) : value;
        if (column(key) >= 0) { state.sort = key; state.desc = desc; }
      } else if (textKeys.indexOf(name) >= 0) {
        state[name] = value;
      } else if (name === 'pb' || name === 'kept') {
        state[name] = value === '1';
      }
    });
    return state;
  }
  function addressOf(state) {
    var parts = ['sort=' + (state.desc ? '-' : '') + state.sort];
    textKeys.forEach(function (name) {
      if (state[name]) parts.push(name + '=' + encodeURIComponent(state[name]));
    });
    if (state.pb) parts.push('pb=1');
    if (state.kept) parts.push('kept=1');
    return '#' + parts.join('&');
  }
  function writeState(state) {
    location.replace(addressOf(state));
    show();
  }

  // The facts the page was last given: the filters' choices, the racers.
  var facts = null;
  function fill(box, values, chosen) {
    while (box.options.length > 1) box.remove(1);
    values.forEach(function (v) { box.add(new Option(v, v)); });
    box.selectedIndex = 0;
    for (var i = 1; i < box.options.length; ++i) {
      if (chosen && same(box.options[i].value, chosen)) box.selectedIndex = i;
    }
  }
  // The racer named in the state, else the one the library is about.
  function racerOf(state) {
    var names = facts.racers || [];
    for (var i = 0; i < names.length; ++i) if (state.racer && same(names[i], state.racer)) return names[i];
    return facts.default_racer || '';
  }
  function showFacts(state) {
    var summary = document.getElementById('summary');
    var text = facts.races + (facts.races === 1 ? ' replay' : ' replays') + ' in ';
    summary.textContent = text;
    var dir = document.createElement('span');
    dir.className = 'dir';
    dir.textContent = facts.dir;
    summary.appendChild(dir);
    var tail = '';
    if (facts.gone) tail += ', ' + facts.gone + ' of them removed or replaced';
    if (facts.others) tail += '; ' + facts.others + (facts.others === 1 ? ' other file' : ' other files');
    if (facts.made) tail += '; page made ' + facts.made;
    summary.appendChild(document.createTextNode(tail + '.'));
    var notice = document.getElementById('notice');
    notice.textContent = facts.notice || '';
    notice.hidden = !facts.notice;
    var warnings = document.getElementById('warnings');
    while (warnings.firstChild) warnings.removeChild(warnings.firstChild);
    (facts.warnings || []).forEach(function (w) {
      var item = document.createElement('li');
      item.textContent = w;
      warnings.appendChild(item);
    });
    warnings.hidden = !(facts.warnings || []).length;
    document.getElementById('races').hidden = !facts.races;
    fill(select.track, facts.tracks || [], state.track);
    fill(select.type, facts.types || [], state.type);
    fill(select.weather, facts.weather || [], state.weather);
    var names = facts.racers || [];
    racerSelect.parentNode.parentNode.hidden = !names.length;
    while (racerSelect.options.length) racerSelect.remove(0);
    var racer = racerOf(state);
    names.forEach(function (n) {
      racerSelect.add(new Option(n, n, n === facts.default_racer, n === racer));
    });
    if (!facts.races && !facts.others) summary.appendChild(document.createTextNode(' No replays saved yet.'));
  }

  // One row of the table, in the columns' order. Rows are keyed by their
  // replay, so that a row that changed is put in place of its old self.
  function cell(text, className) {
    var td = document.createElement('td');
    if (!text) {
      td.className = 'unknown';
      td.textContent = unknown;
    } else {
      td.textContent = text;
      if (className) td.className = className;
    }
    return td;
  }
  function span(className, text) {
    var s = document.createElement('span');
    s.className = className;
    s.textContent = text;
    return s;
  }
  var cells = {
    when: function (r) { return cell(r.when); },
    type: function (r) {
      var td = cell(r.type);
      var meaning = r.type && facts.type_meanings ? facts.type_meanings[r.type] : '';
      if (meaning) td.title = meaning;
      return td;
    },
    track: function (r) { return cell(r.track); },
    laps: function (r) { return cell(r.laps); },
    cars: function (r) { return cell(r.cars); },
    weather: function (r) { return cell(r.weather); },
    lap: function (r) {
      if (!r.lap) return cell('');
      var td = cell(r.lap_text);
      if (r.lap_by) {
        td.appendChild(document.createTextNode(' '));
        td.appendChild(span('racer', r.lap_by));
      }
      return td;
    },
    yours: function (r) {
      if (r.kind !== 'race') return null;
      var td = cell(r.yours_text);
      if (r.pb) td.appendChild(span('pb-badge', 'PB'));
      return td;
    },
    file: function (r) {
      var td = document.createElement('td');
      td.appendChild(span('file', r.file));
      if (window.raLibraryApp) window.raLibraryApp.decorate(td, r);
      if (r.kind === 'backup') {
        td.appendChild(span('state', 'kept by restore'));
      } else if (r.kind === 'unrecorded') {
        if (r.copy) td.appendChild(span('state', 'a copy'));
      } else {
        var word = stateWords[['saved', 'missing', 'replaced', 'renamed'].indexOf(r.state)];
        if (word) td.appendChild(span('state', word + (r.state === 'renamed' ? r.renamed_from : '')));
      }
      return td;
    }
  };
  function rowOf(r, keys) {
    var there = r.state === 'saved' || r.state === 'renamed';
    var tr = document.createElement('tr');
    tr.className = there ? 'saved' : 'gone';
    tr.setAttribute('data-id', r.id);
    keys.forEach(function (key) {
      var td = cells[key](r);
      if (td) {
        td.setAttribute('data-label', heads[column(key)].textContent);
        tr.appendChild(td);
      }
    });
    return tr;
  }
  function keysOf(tableElement) {
    return Array.prototype.map.call(tableElement.tHead.rows[0].cells, function (th) {
      return th.getAttribute('data-key');
    });
  }

  // What is drawn: the state it was drawn for, and how many rows.
  var drawn = {state: null, count: 0, total: 0, of: 0};
  var asked = 0;  // each drawing's number: an answer to an older one is dropped
  function queryOf(state) {
    return {sort: state.sort, desc: state.desc, track: state.track, type: state.type,
            weather: state.weather, racer: racerOf(state), text: state.q, pb: state.pb,
            kept: state.kept};
  }
  function showCount(total, of) {
    shown.textContent = total + ' of ' + of + ' shown';
    more.hidden = drawn.count >= total;
    var left = total - drawn.count;
    more.textContent = 'Show ' + Math.min(pageRows, left) + ' more (' + left + ' not shown yet)';
  }
  // The first rows of the state (at least `atLeast` of them), or with
  // append the next page after those drawn.
  function drawRows(state, append, atLeast) {
    var ask = ++asked, q = queryOf(state), offset = append ? drawn.count : 0;
    var limit = append ? pageRows : Math.max(pageRows, atLeast || 0);
    return source.rows(q, offset, limit).then(function (page) {
      if (ask !== asked) return;
      var keys = keysOf(table), fragment = document.createDocumentFragment();
      page.rows.forEach(function (r) { fragment.appendChild(rowOf(r, keys)); });
      if (!append) {
        // One replacement of all rows, never a row at a time; focus stays
        // on the same control of the same replay.
        var focus = controlOf(document.activeElement);
        body.replaceChildren(fragment);
        if (focus) refocus(focus);
        drawn.count = page.rows.length;
      } else {
        body.appendChild(fragment);
        drawn.count += page.rows.length;
      }
      drawn.state = state;
      drawn.total = page.total;
      drawn.of = page.of !== undefined ? page.of : facts.races;
      showCount(page.total, drawn.of);
    });
  }
  // A control of a row as the row's replay and its place among the row's
  // controls, and back.
  function controlOf(element) {
    var row = element && element.closest ? element.closest('tr[data-id]') : null;
    if (!row) return null;
    return {id: row.getAttribute('data-id'),
            at: Array.prototype.indexOf.call(row.querySelectorAll('button, a'), element)};
  }
  function refocus(focus) {
    var row = document.querySelector('tr[data-id="' + CSS.escape(focus.id) + '"]');
    var again = row ? row.querySelectorAll('button, a')[focus.at] : null;
    if (again) again.focus();
  }
  function drawOthers() {
    return source.others().then(function (files) {
      var keys = keysOf(others), fragment = document.createDocumentFragment();
      files.forEach(function (r) { fragment.appendChild(rowOf(r, keys)); });
      others.tBodies[0].replaceChildren(fragment);
      document.getElementById('other-files').hidden = !files.length;
    });
  }

  // The charts (chart.js): per track one of the racer's laps, of one race
  // type at a time, by default the type they drove most there; the table's
  // track and type filters narrow them. Each chart's own choices are kept by
  // track while the page is open, and each is drawn to the width it gets:
  // again when the window changes.
  var chartChoices = new Map(), chartDraws = [], chartsDrawn = null, resizing = null;
  window.addEventListener('resize', function () {
    clearTimeout(resizing);
    resizing = setTimeout(function () { chartDraws.forEach(function (draw) { draw(); }); }, 200);
  });
  function drawCharts(state, racer, again) {
    var container = document.getElementById('charts');
    var key = [racer, state.track, state.type, state.sort, state.desc].join('\n');
    if (!window.raLapCharts || (key === chartsDrawn && !again)) return;
    chartsDrawn = key;
    source.chartGroups(racer).then(function (groups) {
      while (container.firstChild) container.removeChild(container.firstChild);
      chartDraws = [];
      document.getElementById('laps-over-time').hidden = !racer;
      if (!racer) return;
      var tracks = new Map();
      groups.forEach(function (g) {
        var k = g.track.toUpperCase();
        if (!tracks.has(k)) tracks.set(k, {name: g.track, types: []});
        tracks.get(k).types.push({code: g.type, races: g.races});
      });
      if (!tracks.size) {
        var none = document.createElement('p');
        none.className = 'summary';
        none.textContent = 'No lap of ' + racer + ' on record yet.';
        container.appendChild(none);
        return;
      }
      var today = window.raLapCharts.today();
      Array.from(tracks.keys()).sort(function (a, b) { return collator.compare(a, b); }).forEach(function (k) {
        var track = tracks.get(k), section = document.createElement('section');
        section.className = 'chart';
        container.appendChild(section);
        var types = track.types.filter(function (t) { return !state.type || same(t.code, state.type); })
          .sort(function (a, b) { return b.races - a.races || collator.compare(a.code, b.code); });
        section.hidden = !types.length || (!!state.track && !same(track.name, state.track));
        if (!types.length) return;
        var chosen = chartChoices.get(k) || {};
        var type = types.some(function (t) { return t.code === chosen.type; }) ? chosen.type : types[0].code;
        var days = chosen.window || 'all';
        function draw() {
          var app = window.raLibraryApp;
          // A friend chosen to compare with, while they are still imported.
          var friends = app && app.friends || [];
          var friend = friends.some(function (f) { return f.name === chosen.friend; }) ? chosen.friend : '';
          source.chart({track: track.name, type: type, racer: racer, window: days, today: today,
                        friend: friend})
            .then(function (data) {
              window.raLapCharts.render(section, data, {
                track: track.name, type: type, racer: racer, yours: !!facts.player && same(racer, facts.player),
                window: days, today: today, types: types, friends: friends, friend: friend,
                rowsHref: addressOf({sort: state.sort, desc: state.desc, track: track.name, type: type,
                                     racer: state.racer}),
                detailsHref: window.raLibraryApp ? function (id) { return window.raLibraryApp.address('race_page', {}, id); } : null,
                onPick: pickRow,
                onChoose: function (picked) {
                  type = picked.type;
                  days = picked.window;
                  chosen = picked;
                  chartChoices.set(k, picked);
                  draw();
                }
              });
            });
        }
        chartDraws.push(draw);
      });
      chartDraws.forEach(function (draw) { draw(); });
    });
  }
  // A dot of a chart on the page shows its race's row: drawn as far as it,
  // in the table's order; with the filters of its chart when they hid it.
  function pickRow(id) {
    var state = readState(), at = source.position(queryOf(state), id);
    if (at < 0) return;
    drawRows(state, false, at + 1).then(function () {
      var row = body.querySelector('tr[data-id="' + CSS.escape(id) + '"]');
      if (!row) return;
      Array.prototype.forEach.call(body.querySelectorAll('tr.picked'), function (r) {
        r.classList.remove('picked');
      });
      row.classList.add('picked');
      row.tabIndex = -1;
      row.scrollIntoView({block: 'center'});
      row.focus();
    });
  }

  function show(atLeast) {
    var state = readState();
    var col = column(state.sort);
    for (var i = 0; i < heads.length; ++i) {
      heads[i].setAttribute('aria-sort', i !== col ? 'none' : state.desc ? 'descending' : 'ascending');
    }
    ['track', 'type', 'weather'].forEach(function (name) {
      var box = select[name];
      box.selectedIndex = 0;
      for (var j = 1; j < box.options.length; ++j) {
        if (state[name] && same(box.options[j].value, state[name])) box.selectedIndex = j;
      }
    });
    if (document.activeElement !== textBox) textBox.value = state.q;
    pbBox.checked = state.pb;
    if (keptBox) keptBox.checked = state.kept;
    var racer = racerOf(state);
    for (var k = 0; k < racerSelect.options.length; ++k) {
      racerSelect.options[k].selected = racerSelect.options[k].value === racer;
    }
    var drawing = drawRows(state, false, typeof atLeast === 'number' ? atLeast : 0);
    drawCharts(state, racer, typeof atLeast === 'number');
    return drawing;
  }

  Array.prototype.forEach.call(heads, function (head) {
    head.querySelector('button').addEventListener('click', function () {
      var state = readState(), key = head.getAttribute('data-key');
      state.desc = state.sort === key ? !state.desc : key === 'when';
      state.sort = key;
      writeState(state);
    });
  });
  Object.keys(select).forEach(function (name) {
    select[name].addEventListener('change', function () {
      var state = readState();
      state[name] = select[name].value;
      writeState(state);
    });
  });
  var typing = 0;
  textBox.addEventListener('input', function () {
    clearTimeout(typing);
    typing = setTimeout(function () {
      var state = readState();
      state.q = textBox.value.trim();
      writeState(state);
    }, 250);
  });
  [pbBox, keptBox].forEach(function (box) {
    if (!box) return;
    box.addEventListener('change', function () {
      var state = readState();
      state[box === pbBox ? 'pb' : 'kept'] = box.checked;
      writeState(state);
    });
  });
  racerSelect.addEventListener('change', function () {
    var state = readState();
    state.racer = racerSelect.value;
    try { localStorage.setItem(remembered, state.racer); } catch (e) { /* not kept */ }
    writeState(state);
  });
  more.addEventListener('click', function () { drawRows(readState(), true); });
  // The link under a chart filters the table by its address, and shows it.
  document.addEventListener('click', function (event) {
    if (event.target.closest && event.target.closest('.chart-rows')) table.scrollIntoView();
  });
  window.addEventListener('hashchange', function () { show(); });

  // What the library app calls when the library changed: the facts again,
  // and the rows drawn, as many as before.
  function start() {
    return source.facts().then(function (f) {
      facts = f;
      showFacts(readState());
      return Promise.all([show(drawn.count), drawOthers()]);
    });
  }
  window.raLibraryPage = {
    start: start,
    // A row that changed, drawn in place of the one shown: focus stays on
    // the same control of the row.
    replaceRow: function (r) {
      var tableElement = r.kind === 'race' ? table : others;
      var old = tableElement.querySelector('tr[data-id="' + CSS.escape(r.id) + '"]');
      if (!old) return false;
      var focus = old.contains(document.activeElement) ? controlOf(document.activeElement) : null;
      old.parentNode.replaceChild(rowOf(r, keysOf(tableElement)), old);
      if (focus) refocus(focus);
      return true;
    },
    removeRow: function (id) {
      [table, others].forEach(function (t) {
        var old = t.querySelector('tr[data-id="' + CSS.escape(id) + '"]');
        if (old) {
          old.parentNode.removeChild(old);
          if (t === table) drawn.count = Math.max(0, drawn.count - 1);
        }
      });
    },
    state: readState,
    racer: function () { return racerOf(readState()); },
    // The charts again, as they are: the friends to compare with changed.
    redrawCharts: function () { chartDraws.forEach(function (draw) { draw(); }); }
  };
  start();
})();
