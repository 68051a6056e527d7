// The library's lap charts (window.raLapCharts): per track and race type, a
// racer's best lap of each day over time, their personal bests and their
// best so far, so that a player sees whether they are getting faster.
//
// points() works out what a chart shows from the races the page holds, the
// same answer the library app's /api/chart gives; render() draws it. A lap
// is shown by the text that comes with it (lap_text, as the companion wrote
// it), never formatted here: only the lap axis's marks are. Game text
// (tracks, racer names) only ever becomes text (textContent): the chart
// never writes markup, and it styles itself by classes (page.css), as the
// page's security policy allows no inline style.
(function () {
  'use strict';
  var svgNs = 'http://www.w3.org/2000/svg';

  // The time windows a chart offers; days 0 is every race.
  var windows = [
    {value: '30', days: 30, label: 'last 30 days', phrase: 'in the last 30 days'},
    {value: '90', days: 90, label: 'last 90 days', phrase: 'in the last 90 days'},
    {value: '365', days: 365, label: 'last year', phrase: 'in the last year'},
    {value: 'all', days: 0, label: 'all races', phrase: 'in all'}
  ];
  // The trend compares the best lap of the last this many days with the
  // best of as many days before ("against the month before").
  var trendDays = 30;

  // The drawing, in px of the page: its height, the width it takes when it
  // cannot be measured (a hidden chart) and the widths it keeps between.
  var chartHeight = 220, widthDefault = 520, widthMin = 280, widthMax = 760;
  // Room above, right of and below the plot; the left is the lap labels'.
  var plotTop = 12, plotRight = 16, plotBottom = 30;
  // Lap marks at most, and the room a lone lap time gets above and below
  // (hundredths).
  var lapMarksMax = 6, lapPad = 50;
  // What a label's character takes at most at the charts' 11 px, where the
  // browser cannot measure it, and the space kept between two date labels.
  var charPx = 7, labelGapPx = 12;
  // Dot radii: a day's best, and a personal best.
  var dotRadius = 3, pbRadius = 5.5;

  function upper(text) { return String(text || '').toUpperCase(); }
  function pad2(n) { return (n < 10 ? '0' : '') + n; }

  // Hundredths as m:ss with 0, 1 or 2 decimals, for the lap axis.
  function minutes(h, decimals) {
    var text = Math.floor(h / 6000) + ':' + pad2(Math.floor(h / 100) % 60);
    if (decimals === 1) return text + '.' + Math.floor(h % 100 / 10);
    if (decimals === 2) return text + '.' + pad2(h % 100);
    return text;
  }

  // "YYYY-MM-DD[ ...]" as days since 1970-01-01; NaN for anything else.
  function dayNumber(text) {
    var m = /^(\d{4,6})-(\d\d)-(\d\d)(?: |$)/.exec(String(text));
    if (!m) return NaN;
    var d = new Date(0);
    d.setUTCFullYear(+m[1], +m[2] - 1, +m[3]);
    var day = d.getTime() / 864e5;
    return dayText(day) === m[1] + '-' + m[2] + '-' + m[3] ? day : NaN;
  }
  function dateOf(day) { return new Date(day * 864e5); }
  function dayText(day) {
    var d = dateOf(day);
    return d.getUTCFullYear() + '-' + pad2(d.getUTCMonth() + 1) + '-' + pad2(d.getUTCDate());
  }
  // The day of the computer the page is open on.
  function today() {
    var d = new Date();
    return d.getFullYear() + '-' + pad2(d.getMonth() + 1) + '-' + pad2(d.getDate());
  }
  function windowOf(value) {
    for (var i = 0; i < windows.length; ++i) {
      if (windows[i].value === String(value)) return windows[i];
    }
    return windows[windows.length - 1];
  }

  // The racer's best lap in the race (names compare ignoring letter case)
  // in hundredths and its text as the race gives it (laps_by_text); null
  // when they set none.
  function lapOf(race, racer) {
    var best = null, laps = race.laps_by || {}, texts = race.laps_by_text || {};
    Object.keys(laps).forEach(function (name) {
      var lap = laps[name];
      if (upper(name) !== racer || typeof lap !== 'number' || !isFinite(lap) || lap <= 0) return;
      if (!best || lap < best.lap) best = {lap: Math.round(lap), text: String(texts[name] || '')};
    });
    return best;
  }
  function bestOf(list) {
    var best = null;
    list.forEach(function (r) { if (!best || r.lap < best.lap) best = r; });
    return best;
  }
  function summaryOf(r) {
    return {day: dayText(r.day), lap: r.lap, lap_text: r.text, id: r.race.id, when: r.race.when};
  }

  // What a chart of one track and race type shows of a racer: the best lap
  // of each day in the window, every personal best in it, the best, the
  // trend and the number of races. A personal best is a lap faster than
  // every earlier lap of theirs on that track and type, from before the
  // window too; their first race there is none (as list --racer counts
  // them). Races at the same time keep their order in `races`.
  function points(races, query) {
    var racer = upper(query.racer), track = upper(query.track), type = upper(query.type);
    var mine = [];
    races.forEach(function (race, i) {
      if (upper(race.track) !== track || upper(race.type) !== type) return;
      var lap = lapOf(race, racer), day = dayNumber(race.when);
      if (lap && !isNaN(day)) mine.push({race: race, lap: lap.lap, text: lap.text, day: day, at: i});
    });
    mine.sort(function (a, b) {
      if (a.day !== b.day) return a.day - b.day;
      var wa = String(a.race.when), wb = String(b.race.when);
      return wa < wb ? -1 : wa > wb ? 1 : a.at - b.at;
    });
    var best = 0;
    mine.forEach(function (r) {
      r.pb = best !== 0 && r.lap < best;
      if (!best || r.lap < best) best = r.lap;
    });

    var now = dayNumber(query.today || today()), span = windowOf(query.window).days;
    var shown = mine.filter(function (r) {
      return !span || (r.day <= now && r.day > now - span);
    });
    var days = [];
    shown.forEach(function (r) {
      var last = days[days.length - 1];
      if (!last || last.day !== r.day) days.push(r);
      else if (r.lap < last.lap) days[days.length - 1] = r;
    });
    function between(from, to) {  // days from..to, both in
      return bestOf(shown.filter(function (r) { return r.day >= from && r.day <= to; }));
    }
    var recent = between(now - trendDays + 1, now);
    var before = between(now - 2 * trendDays + 1, now - trendDays);
    var top = bestOf(shown);
    return {
      points: days.map(function (r) {
        var p = summaryOf(r);
        p.pb = r.pb;
        return p;
      }),
      pbs: shown.filter(function (r) { return r.pb; }).map(summaryOf),
      best: top ? {lap: top.lap, lap_text: top.text, when: top.race.when, id: top.race.id} : null,
      trend: recent && before ? {lap_change: recent.lap - before.lap, against: 'month'} : null,
      races: shown.length
    };
  }

  // Marks for lap times from lo to hi hundredths, a round step apart (1, 2
  // or 5 times a power of ten), the first at or below lo and the last at or
  // above hi; labels in m:ss with the decimals the step needs.
  function lapTicks(lo, hi) {
    if (lo > hi) { var t = lo; lo = hi; hi = t; }
    if (lo === hi) { lo = Math.max(lo - lapPad, 0); hi += lapPad; }
    var step = 1;
    for (var k = 0; k < 60; ++k) {
      step = [1, 2, 5][k % 3] * Math.pow(10, Math.floor(k / 3));
      if (Math.ceil(hi / step) - Math.floor(lo / step) + 1 <= lapMarksMax) break;
    }
    var decimals = step % 100 === 0 ? 0 : step % 10 === 0 ? 1 : 2;
    var ticks = [];
    for (var v = Math.floor(lo / step) * step; ; v += step) {
      ticks.push({at: v, label: minutes(v, decimals)});
      if (v >= hi) break;
    }
    return ticks;
  }

  // The steps the date axis may take, finest first: days and weeks labelled
  // by the date, months by "YYYY-MM", years by the year. `days` is the
  // shortest a step can be, which is what its labels must fit in.
  var dateSteps = [
    {unit: 'day', n: 1, days: 1}, {unit: 'day', n: 2, days: 2},
    {unit: 'week', n: 1, days: 7}, {unit: 'week', n: 2, days: 14},
    {unit: 'month', n: 1, days: 28}, {unit: 'month', n: 2, days: 59},
    {unit: 'month', n: 3, days: 89}, {unit: 'month', n: 6, days: 181}
  ];
  [1, 2, 5, 10, 20, 50, 100, 200, 500, 1000].forEach(function (n) {
    dateSteps.push({unit: 'year', n: n, days: 365 * n});
  });
  function dateLabel(day, unit) {
    var text = dayText(day);
    if (unit === 'month') return text.slice(0, text.length - 3);
    if (unit === 'year') return text.slice(0, text.length - 6);
    return text;
  }

  // Marks for the days from..to (to not included) on a plot `width` px wide,
  // as far apart as their labels need so that no two ever touch:
  // widthOf(label) gives a label's width in px (a budget per character when
  // not given). Each mark is {day, label}.
  function dayTicks(from, to, width, widthOf) {
    widthOf = widthOf || function (label) { return label.length * charPx; };
    var perDay = width / Math.max(to - from, 1);
    var step = dateSteps[dateSteps.length - 1];
    for (var i = 0; i < dateSteps.length; ++i) {
      var s = dateSteps[i];
      if (s.days * perDay >= widthOf(dateLabel(from, s.unit)) + labelGapPx) { step = s; break; }
    }
    var ticks = [];
    function add(day) { if (day >= from && day < to) ticks.push({day: day, label: dateLabel(day, step.unit)}); }
    if (step.unit === 'day') {
      for (var d = from; d < to; d += step.n) add(d);
    } else if (step.unit === 'week') {
      // Weeks from a Monday (1970-01-01 was a Thursday).
      for (var w = from + ((4 - from) % 7 + 7) % 7; w < to; w += 7 * step.n) add(w);
    } else {
      var first = dateOf(from), year = first.getUTCFullYear();
      var month = step.unit === 'month' ? first.getUTCMonth() : 0;
      for (;;) {
        var start = Date.UTC(year, month, 1) / 864e5;
        if (start >= to) break;
        var index = step.unit === 'month' ? year * 12 + month : year;
        if (index % step.n === 0) add(start);
        if (step.unit === 'month') { month += 1; if (month === 12) { month = 0; ++year; } } else ++year;
      }
    }
    return ticks;
  }

  function svg(name, attributes) {
    var e = document.createElementNS(svgNs, name);
    Object.keys(attributes || {}).forEach(function (k) { e.setAttribute(k, attributes[k]); });
    return e;
  }
  function element(name, className, text) {
    var e = document.createElement(name);
    if (className) e.className = className;
    if (text !== undefined) e.textContent = text;
    return e;
  }
  function px(v) { return (Math.round(v * 10) / 10).toString(); }

  // "Your" for the player, else the racer's name: "Renée's".
  function whose(options) { return options.yours ? 'Your' : options.racer + "'s"; }
  // The trend in seconds with a real minus sign: "−1.4 s against the month
  // before"; hundredths where tenths would show no change.
  function trendText(trend) {
    var change = trend.lap_change;
    if (change === 0) return 'the same best lap as the month before';
    var seconds = Math.abs(change) / 100;
    var text = seconds >= 0.05 ? seconds.toFixed(1) : seconds.toFixed(2);
    return (change < 0 ? '\u2212' : '+') + text + ' s against the month before';
  }
  // The chart's text alternative: "12 races in the last 90 days; best
  // 1:21.40 on 2026-03-22; −1.4 s against the month before".
  function summaryText(data, options) {
    var phrase = windowOf(options.window).phrase;
    var theirs = overlayText(data);
    if (!data.races || !data.best) return 'No races ' + phrase + theirs;
    return data.races + (data.races === 1 ? ' race ' : ' races ') + phrase + '; best ' +
           data.best.lap_text + ' on ' + String(data.best.when).split(' ')[0] +
           (data.trend ? '; ' + trendText(data.trend) : '') + theirs;
  }
  // A friend's line in words: "; Ann's best 1:20.47 on 2026-03-05".
  function overlayText(data) {
    if (!data.overlay) return '';
    var best = bestOf(data.overlay.points);
    if (!best) return '; no lap of ' + data.overlay.racer + ' here';
    return '; ' + data.overlay.racer + "'s best " + best.lap_text + ' on ' + best.day;
  }

  // The chart's choices: its race type and its time window.
  function controls(options) {
    var form = element('form', 'chart-controls');
    form.addEventListener('submit', function (event) { event.preventDefault(); });
    function choice(label, name, list, chosen) {
      var wrap = element('label', '', label + ' ');
      var select = document.createElement('select');
      select.setAttribute('data-control', name);
      list.forEach(function (item) {
        var on = item.value === chosen;
        select.add(new Option(item.label, item.value, on, on));
      });
      select.addEventListener('change', function () {
        var picked = {type: options.type, window: windowOf(options.window).value,
                      friend: options.friend || ''};
        picked[name] = select.value;
        options.onChoose(picked);
      });
      wrap.appendChild(select);
      form.appendChild(wrap);
    }
    choice('Race type', 'type', options.types.map(function (t) {
      return {value: t.code, label: t.code + ' (' + t.races + (t.races === 1 ? ' race)' : ' races)')};
    }), options.type);
    choice('Show', 'window', windows.map(function (w) { return {value: w.value, label: w.label}; }),
           windowOf(options.window).value);
    if (options.friends && options.friends.length) {
      choice('Compare with', 'friend', [{value: '', label: 'nobody'}].concat(
        options.friends.map(function (f) { return {value: f.name, label: f.shown}; })), options.friend || '');
    }
    return form;
  }

  function legend(options, data) {
    var list = element('ul', 'chart-legend');
    var items = [['', 'Lower is faster'],
                 ['chart-key-line', whose(options) + ' best lap of each day'],
                 ['chart-key-pb', 'a personal best'],
                 ['chart-key-best', 'personal best so far']];
    if (data.overlay) items.push(['chart-key-friend', data.overlay.racer + "'s best lap of each day"]);
    items.forEach(function (item) {
      var li = element('li');
      if (item[0]) {
        var key = element('span', 'chart-key ' + item[0]);
        key.setAttribute('aria-hidden', 'true');
        li.appendChild(key);
      }
      li.appendChild(document.createTextNode(item[1]));
      list.appendChild(li);
    });
    return list;
  }

  // A label's width in px as the browser draws it in `into`, and never less
  // than its budget.
  // Each label is measured once: a measure makes the browser lay out.
  function measurer(into) {
    var known = new Map();
    return function (label) {
      if (known.has(label)) return known.get(label);
      var probe = svg('text', {'class': 'chart-tick'});
      probe.textContent = label;
      into.appendChild(probe);
      var measured = 0;
      try { measured = probe.getComputedTextLength(); } catch (e) { /* not laid out */ }
      into.removeChild(probe);
      known.set(label, Math.max(measured, label.length * charPx));
      return known.get(label);
    };
  }

  // The plot: axes, the line of each day's best, the best so far as a
  // dashed step, and a dot per day and per personal best that leads to its
  // race.
  function plot(section, data, options) {
    var chart = svg('svg', {'class': 'lap-chart', role: 'group',
                            'aria-label': whose(options) + ' best lap over time, ' +
                                          options.track + ' ' + options.type});
    section.appendChild(chart);
    var width = chart.getBoundingClientRect().width || widthDefault;
    width = Math.round(Math.min(Math.max(width, widthMin), widthMax));
    chart.setAttribute('viewBox', '0 0 ' + width + ' ' + chartHeight);
    var widthOf = measurer(chart);

    var theirs = data.overlay ? data.overlay.points : [];
    var marks = data.points.concat(data.pbs, theirs).map(function (p) { return {day: dayNumber(p.day), lap: p.lap}; });
    var lo = Infinity, hi = 0, first = Infinity, last = -Infinity;
    marks.forEach(function (m) {
      lo = Math.min(lo, m.lap); hi = Math.max(hi, m.lap);
      first = Math.min(first, m.day); last = Math.max(last, m.day);
    });
    // A window spans its days up to today; all races span theirs.
    var span = windowOf(options.window).days, now = dayNumber(options.today || '');
    var from = span && !isNaN(now) ? now - span + 1 : first;
    var to = span && !isNaN(now) ? now + 1 : last + 1;
    var laps = lapTicks(lo, hi);
    var left = 12 + Math.max.apply(null, laps.map(function (t) { return widthOf(t.label); }));
    var right = width - plotRight, top = plotTop, bottom = chartHeight - plotBottom;
    var lapLo = laps[0].at, lapHi = laps[laps.length - 1].at;
    function x(day) { return left + (day + 0.5 - from) / (to - from) * (right - left); }
    function y(lap) { return bottom - (lap - lapLo) / (lapHi - lapLo) * (bottom - top); }

    var axes = svg('g', {'class': 'chart-axes', 'aria-hidden': 'true'});
    laps.forEach(function (t) {
      axes.appendChild(svg('line', {'class': 'chart-grid', x1: px(left), x2: px(right), y1: px(y(t.at)), y2: px(y(t.at))}));
      var label = svg('text', {'class': 'chart-tick chart-lap-tick', x: px(left - 6), y: px(y(t.at))});
      label.textContent = t.label;
      axes.appendChild(label);
    });
    axes.appendChild(svg('line', {'class': 'chart-axis', x1: px(left), x2: px(right), y1: px(bottom), y2: px(bottom)}));
    dayTicks(from, to, right - left, widthOf).forEach(function (t) {
      var at = x(t.day), half = widthOf(t.label) / 2;
      if (at - half < 0 || at + half > width) return;  // a label the drawing would cut
      axes.appendChild(svg('line', {'class': 'chart-axis', x1: px(at), x2: px(at), y1: px(bottom), y2: px(bottom + 4)}));
      var label = svg('text', {'class': 'chart-tick chart-day-tick', x: px(at), y: px(bottom + 17)});
      label.textContent = t.label;
      axes.appendChild(label);
    });
    chart.appendChild(axes);

    // A friend's days, under the racer's own: a line of its own, told in
    // the legend and the summary (the text alternative), not focusable.
    var inWindow = theirs.filter(function (p) { var d = dayNumber(p.day); return d >= from && d < to; });
    if (inWindow.length) {
      var friendLine = svg('polyline', {'class': 'chart-friend', 'aria-hidden': 'true', points:
        inWindow.map(function (p) { return px(x(dayNumber(p.day))) + ',' + px(y(p.lap)); }).join(' ')});
      chart.appendChild(friendLine);
      inWindow.forEach(function (p) {
        var mark = svg('rect', {'class': 'chart-friend-point', 'aria-hidden': 'true', width: 6, height: 6,
                                x: px(x(dayNumber(p.day)) - 3), y: px(y(p.lap) - 3)});
        chart.appendChild(mark);
      });
    }
    var line = data.points.map(function (p) { return px(x(dayNumber(p.day))) + ',' + px(y(p.lap)); });
    // The best so far is known from the first race on when the window holds
    // every race; else from the first personal best in it.
    var steps = [], level = 0;
    if (!span && data.points.length) level = data.points[0].lap;
    var stepFrom = level ? dayNumber(data.points[0].day) : NaN;
    if (level) steps.push(px(x(stepFrom)) + ',' + px(y(level)));
    data.pbs.forEach(function (p) {
      var at = px(x(dayNumber(p.day)));
      if (level && p.lap >= level) return;
      if (level) steps.push(at + ',' + px(y(level)));
      level = p.lap;
      steps.push(at + ',' + px(y(level)));
    });
    if (steps.length) steps.push(px(x(last)) + ',' + px(y(level)));
    if (steps.length > 1) chart.appendChild(svg('polyline', {'class': 'chart-best', points: steps.join(' ')}));
    chart.appendChild(svg('polyline', {'class': 'chart-line', points: line.join(' ')}));

    // A day's best that is a personal best is drawn once, as the latter.
    var pbIds = new Set(data.pbs.map(function (p) { return p.id; }));
    var dots = data.points.filter(function (p) { return !pbIds.has(p.id); }).map(function (p) {
      return {p: p, pb: false};
    }).concat(data.pbs.map(function (p) { return {p: p, pb: true}; }));
    dots.forEach(function (d) { d.day = dayNumber(d.p.day); });
    dots.sort(function (a, b) {
      return a.day !== b.day ? a.day - b.day : String(a.p.when) < String(b.p.when) ? -1 : 1;
    });
    var group = svg('g', {'class': 'chart-points'});
    var links = dots.map(function (d) { return group.appendChild(dot(d.p, d.pb, x, y, options)); });
    chart.appendChild(group);
    listen(group, links, dots.map(function (d) { return d.p.id; }), options);
  }

  function dot(p, pb, x, y, options) {
    var link = svg('a', {'class': pb ? 'chart-point chart-pb' : 'chart-point', tabindex: '-1'});
    link.setAttribute('aria-label', options.track + ' ' + options.type + ', ' + p.day + ': ' +
                                    p.lap_text + (pb ? ', personal best' : ''));
    var href = options.detailsHref ? options.detailsHref(p.id) : null;
    if (href) link.setAttribute('href', href); else link.setAttribute('role', 'link');
    var title = svg('title');
    title.textContent = p.when + '  ' + p.lap_text + (pb ? '  personal best' : '');
    link.appendChild(title);
    link.appendChild(svg('circle', {cx: px(x(dayNumber(p.day))), cy: px(y(p.lap)),
                                    r: pb ? pbRadius : dotRadius}));
    return link;
  }

  // What the dots do, listened for once on their group (a chart can have
  // thousands). A dot with an address is a link, which a click follows by
  // itself; one without calls onPick. The dots are one stop for the Tab
  // key, the newest first; arrows, Home and End go from dot to dot.
  function listen(group, links, ids, options) {
    if (!links.length) return;
    var current = links.length - 1, at = new Map();
    links.forEach(function (link, i) { at.set(link, i); });
    function stop(i) {
      links[current].setAttribute('tabindex', '-1');
      current = i;
      links[current].setAttribute('tabindex', '0');
    }
    stop(current);
    function go(event, i) {
      var href = links[i].getAttribute('href');
      if (href) {
        if (event.type !== 'keydown') return;
        event.preventDefault();
        location.assign(href);
      } else if (options.onPick) {
        event.preventDefault();
        options.onPick(ids[i]);
      }
    }
    function which(event) {
      var link = event.target.closest ? event.target.closest('a') : null;
      return link && at.has(link) ? at.get(link) : -1;
    }
    group.addEventListener('focusin', function (event) {
      var i = which(event);
      if (i >= 0) stop(i);
    });
    group.addEventListener('click', function (event) {
      var i = which(event);
      if (i >= 0) go(event, i);
    });
    group.addEventListener('keydown', function (event) {
      var i = which(event);
      if (i < 0) return;
      if (event.key === 'Enter' || (event.key === ' ' && !links[i].hasAttribute('href'))) {
        go(event, i);
        return;
      }
      var to = {ArrowRight: i + 1, ArrowUp: i + 1, ArrowLeft: i - 1, ArrowDown: i - 1,
                Home: 0, End: links.length - 1}[event.key];
      if (to === undefined) return;
      event.preventDefault();
      to = Math.min(Math.max(to, 0), links.length - 1);
      stop(to);
      links[to].focus();
    });
  }

  // Draws one chart into `section`, in place of what it held. options:
  // track, type, racer, yours (the racer is the player), window, today
  // ("YYYY-MM-DD", so that a window spans its days), detailsHref(id) (a
  // dot's address: its race's details; null, or null for a race, where
  // there are none), onPick(id) (what a dot without an address does),
  // rowsHref (the table's rows of this track and type); with types
  // ([{code, races}]) and onChoose({type, window}), the chart offers them.
  function render(section, data, options) {
    // A choice keeps the focus where it was as the chart is drawn again.
    var focused = document.activeElement && section.contains(document.activeElement) ?
                  document.activeElement.getAttribute('data-control') : null;
    while (section.firstChild) section.removeChild(section.firstChild);
    section.classList.add('chart');
    section.appendChild(element('h3', '', options.track + ' \u00b7 ' + options.type));
    section.appendChild(element('p', 'chart-who', whose(options) + ' best lap over time'));
    if (options.types && options.onChoose) section.appendChild(controls(options));
    section.appendChild(legend(options, data));
    var summary = element('p', 'chart-summary', summaryText(data, options) + '. ');
    var rows = element('a', 'chart-rows', 'Show these races in the table');
    rows.setAttribute('href', options.rowsHref);
    summary.appendChild(rows);
    section.appendChild(summary);
    if (data.trend) section.appendChild(element('p', 'chart-trend', trendText(data.trend)));
    if (data.points.length) plot(section, data, options);
    if (focused) {
      var again = section.querySelector('[data-control="' + focused + '"]');
      if (again) again.focus();
    }
  }

  window.raLapCharts = {
    points: points,
    render: render,
    today: today,
    windows: windows.map(function (w) { return w.value; }),
    // For the browser test: the axes' rules.
    lapTicks: lapTicks,
    dayTicks: dayTicks,
    dayNumber: dayNumber
  };
})();
