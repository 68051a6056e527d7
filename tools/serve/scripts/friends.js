// The library app's Friends view (serve): who was imported and when, the
// leaderboards and head to head from /api/friends, Import by the file
// picker or a drop onto the page, the season card, Share on a race, a
// friend's races (Watch, Keep, Remove), and a friend's removal and alias. Every name comes from a friend's share or the
// game and is set as text, never as markup. Runs after app.js, whose post()
// every action goes through; on a race's details page only Share is here.
(function () {
  'use strict';
  var app = window.raLibraryApp;
  if (!app) return;

  function element(tag, className, text) {
    var e = document.createElement(tag);
    if (className) e.className = className;
    if (text !== undefined && text !== null) e.textContent = text;
    return e;
  }
  function button(label, aria, onPress) {
    var b = element('button', '', label);
    b.type = 'button';
    if (aria) b.setAttribute('aria-label', aria);
    b.addEventListener('click', onPress);
    return b;
  }
  function say(place, answer) {
    place.textContent = answer.message;
    place.classList.toggle('failed', !answer.ok);
  }
  // A share or card as a download: the app answers with the file, or with
  // a sentence in JSON when it could not make it.
  function download(route, fields, file, place) {
    return app.postForm(route, Object.assign({confirm: '1'}, fields), file).then(function (answer) {
      var kind = answer.headers.get('Content-Type') || '';
      if (kind.indexOf('application/octet-stream') !== 0) {
        return answer.text().then(function (text) {
          var said;
          try { said = JSON.parse(text); } catch (e) { said = {message: text}; }
          say(place, {ok: false, message: String(said.message || text)});
        });
      }
      var header = answer.headers.get('Content-Disposition') || '';
      var utf8 = /filename\*=UTF-8''([^;]+)/.exec(header), plain = /filename="([^"]*)"/.exec(header);
      var name = utf8 ? decodeURIComponent(utf8[1]) : plain ? plain[1] : 'replays.rpshare';
      return answer.blob().then(function (blob) {
        var link = element('a');
        link.href = URL.createObjectURL(blob);
        link.download = name;
        document.body.appendChild(link);
        link.click();
        link.remove();
        setTimeout(function () { URL.revokeObjectURL(link.href); }, 60000);
        say(place, {ok: true, message: 'Saved as ' + name + ' in your downloads.'});
      });
    }).catch(function (e) { say(place, {ok: false, message: String(e)}); });
  }

  // What a share or card gives away, then the player's yes: a panel below
  // the button pressed (below its paragraph, where it has one) with the
  // report, for a share the names' choice, and the buttons.
  function privacyPanel(pressed, route, file, what) {
    var near = pressed.closest('p') || pressed.parentNode;
    var old = near.parentNode.querySelector('.privacy');
    if (old) old.remove();
    var panel = element('div', 'privacy');
    panel.setAttribute('role', 'group');
    panel.setAttribute('aria-label', what);
    var report = element('pre', 'privacy-report', 'Reading what it would give away…');
    report.setAttribute('role', 'status');
    panel.appendChild(report);
    var hide = null;
    if (file !== undefined) {
      var label = element('label');
      hide = element('input');
      hide.type = 'checkbox';
      label.appendChild(hide);
      label.appendChild(document.createTextNode(" Hide other racers' names"));
      panel.appendChild(label);
    }
    var said = element('p', 'said');
    said.setAttribute('role', 'status');
    var fields = function () { return hide && hide.checked ? {hide_names: '1'} : {}; };
    var plan = function () {
      return app.post(route, fields(), file).then(function (answer) {
        report.textContent = answer.message;
        report.classList.toggle('failed', !answer.ok);
        save.disabled = !answer.ok;
      });
    };
    // Its name for a screen reader holds the words it shows.
    var saveLabel = file !== undefined ? 'Save the share' : 'Save the card';
    var saveName = saveLabel + (file !== undefined ? ' of ' + what.replace(/^Share /, '') : '');
    var save = button(saveLabel, saveName, function () {
      save.disabled = true;
      download(route, fields(), file, said).then(function () { save.disabled = false; });
    });
    var cancel = button('Cancel', 'Cancel: ' + what, function () {
      panel.remove();
      if (pressed.isConnected) pressed.focus();
    });
    if (hide) hide.addEventListener('change', plan);
    panel.appendChild(save);
    panel.appendChild(cancel);
    panel.appendChild(said);
    near.parentNode.insertBefore(panel, near.nextSibling);
    plan().then(function () { save.focus(); });
  }

  // Share on a row of the list and on a race's details (app.js sends
  // presses of data-do="share" here).
  app.share = function (pressed, id, name) {
    privacyPanel(pressed, 'share', id, 'Share ' + name);
  };

  var view = document.getElementById('friends');
  if (!view) return;
  var said = document.getElementById('friends-said');
  var list = document.getElementById('friends-list');
  var boards = document.getElementById('friends-boards');
  var versus = document.getElementById('friends-versus');
  // One friend's races at a time, below the friends (kept when the list is
  // drawn again); racesOf names the friend whose races are open.
  var races = element('div', 'friend-races');
  races.id = 'friend-races';
  list.parentNode.insertBefore(races, list.nextSibling);
  var racesOf = null;

  function cell(row, text, className) {
    var c = element('td', className, text);
    row.appendChild(c);
    return c;
  }
  function table(caption, headings) {
    var t = element('table', 'friends-table');
    if (caption) t.appendChild(element('caption', '', caption));
    var head = element('tr');
    headings.forEach(function (h) {
      var th = element('th', '', h);
      th.scope = 'col';
      head.appendChild(th);
    });
    t.appendChild(element('thead')).appendChild(head);
    t.appendChild(element('tbody'));
    return t;
  }
  function labelled(c, label) {
    c.setAttribute('data-label', label);
    return c;
  }

  // A friend's row: their name (and its alias), when, races, and the
  // actions, each naming the friend for a screen reader.
  function friendRow(f) {
    var row = element('tr');
    var name = cell(row, f.shown, 'friend-name');
    if (f.shown !== f.name) name.appendChild(element('span', 'racer', ' (spelt ' + f.name + ')'));
    labelled(cell(row, f.imported), 'Imported');
    labelled(cell(row, String(f.races)), 'Races');
    labelled(cell(row, String(f.replays)), 'Replays');
    var actions = cell(row, null, 'friend-actions');
    var out = element('span', 'said');
    out.setAttribute('role', 'status');
    var open = button('Races', 'Races of ' + f.shown, function () { toggleRaces(f, open); });
    open.setAttribute('aria-controls', races.id);
    open.setAttribute('aria-expanded', String(racesOf === f.name));
    actions.appendChild(open);
    actions.appendChild(button('Rename', 'Rename ' + f.shown, function () { renameForm(actions, f, out); }));
    actions.appendChild(button('Remove', 'Remove ' + f.shown, function () { removeAsk(actions, f, out); }));
    actions.appendChild(out);
    return row;
  }
  function removeAsk(actions, f, out) {
    if (actions.querySelector('.confirm')) return;
    var ask = element('span', 'confirm');
    ask.appendChild(element('span', '', 'Remove ' + f.shown + "'s shared races and card? "));
    var yes = button('Remove ' + f.shown, '', function () {
      yes.disabled = true;
      app.post('remove_friend', {friend: f.name}).then(function (answer) {
        say(said, answer);
        if (answer.ok) load(); else { ask.remove(); say(out, answer); }
      });
    });
    var no = button('Keep', 'Keep ' + f.shown, function () { ask.remove(); });
    ask.appendChild(yes);
    ask.appendChild(no);
    actions.insertBefore(ask, out);
    no.focus();
  }
  function renameForm(actions, f, out) {
    if (actions.querySelector('form')) return;
    var form = element('form', 'alias');
    var label = element('label', '', 'Show ' + f.name + ' as ');
    var input = element('input');
    input.name = 'new';
    input.value = f.shown === f.name ? '' : f.shown;
    input.size = 14;
    label.appendChild(input);
    form.appendChild(label);
    var save = element('button', '', 'Rename');
    save.type = 'submit';
    form.appendChild(save);
    form.appendChild(button('Cancel', 'Cancel renaming ' + f.shown, function () { form.remove(); }));
    form.addEventListener('submit', function (event) {
      event.preventDefault();
      app.post('alias', {old: f.name, 'new': input.value.trim()}).then(function (answer) {
        say(said, answer);
        if (answer.ok) load(); else say(out, answer);
      });
    });
    actions.insertBefore(form, out);
    input.focus();
  }

  // A friend's races, newest first, a page at a time (/api/friend-races):
  // Watch, Keep or Unkeep and Remove where their replay is in their folder.
  function toggleRaces(f, pressed) {
    var opening = racesOf !== f.name;
    closeRaces();
    if (!opening) return;
    racesOf = f.name;
    pressed.setAttribute('aria-expanded', 'true');
    var title = element('h3', '', f.shown + "'s races");
    title.tabIndex = -1;
    var summary = element('p', 'summary');
    var out = element('p', 'said');
    out.setAttribute('role', 'status');
    var t = table('', ['Date', 'Track', 'Type', 'Laps', 'Best lap', 'Actions']);
    var body = t.querySelector('tbody');
    // Rows shown, and the friend's races in all, as removals change them.
    var shown = 0, total = 0;
    var more = button('Show more', 'Show more of ' + f.shown + "'s races", function () { page(); });
    more.hidden = true;
    function counted() {
      summary.textContent = shown + ' of ' + total + ' races, newest first.';
      more.hidden = shown >= total;
    }
    function page() {
      more.disabled = true;
      return app.call(app.address('friend_races', {friend: f.name, offset: shown}))
        .then(function (answer) {
          if (!answer.ok) return answer.text().then(function (text) { throw new Error(text); });
          return answer.json();
        }).then(function (data) {
          if (racesOf !== f.name) return;
          data.races.forEach(function (r) { body.appendChild(raceRow(f, r, out, removed)); });
          shown += data.races.length;
          total = data.total;
          counted();
        }).catch(function (e) { say(out, {ok: false, message: String(e.message || e)}); })
        .then(function () { more.disabled = false; });
    }
    function removed(row) {
      row.remove();
      shown -= 1;
      total -= 1;
      counted();
      title.focus();
      load();
    }
    [title, summary, out, t, more].forEach(function (e) { races.appendChild(e); });
    page().then(function () { title.focus(); });
  }
  function closeRaces() {
    racesOf = null;
    races.textContent = '';
    list.querySelectorAll('[aria-controls="friend-races"]').forEach(function (b) {
      b.setAttribute('aria-expanded', 'false');
    });
  }
  function raceRow(f, r, out, removed) {
    var row = element('tr');
    labelled(cell(row, r.when), 'Date');
    labelled(cell(row, r.track, 'friend-name'), 'Track');
    labelled(cell(row, r.type), 'Type');
    labelled(cell(row, r.laps), 'Laps');
    labelled(cell(row, r.lap), 'Best lap');
    var actions = cell(row, null, 'friend-actions');
    if (!r.replay) return row;
    // Each button names the race for a screen reader: "Watch Ann's ALPINE, 2026-03-22 19:57".
    var race = f.shown + "'s " + r.track + ', ' + r.when;
    var watch = button('Watch', 'Watch ' + race, function () {
      watch.disabled = true;
      app.post('watch', {}, r.id).then(function (answer) {
        say(out, answer);
        watch.disabled = false;
      });
    });
    var keep = button('', '', function () {
      keep.disabled = true;
      app.post(r.kept ? 'unkeep' : 'keep', {}, r.id).then(function (answer) {
        say(out, answer);
        if (answer.ok) r.kept = !r.kept;
        marked();
        keep.disabled = false;
      });
    });
    function marked() {
      keep.textContent = r.kept ? 'Unkeep' : 'Keep';
      keep.setAttribute('aria-label', keep.textContent + ' ' + race);
    }
    marked();
    var remove = button('Remove', 'Remove ' + race, function () {
      if (actions.querySelector('.confirm')) return;
      var ask = element('span', 'confirm');
      ask.appendChild(element('span', '', 'Remove ' + race + ' from their folder and record? '));
      var yes = button('Remove', 'Yes, remove ' + race, function () {
        yes.disabled = true;
        app.post('remove', {}, r.id).then(function (answer) {
          say(out, answer);
          if (answer.ok) removed(row); else ask.remove();
        });
      });
      var no = button('Cancel', 'Cancel removing ' + race, function () {
        ask.remove();
        remove.focus();
      });
      ask.appendChild(yes);
      ask.appendChild(no);
      actions.appendChild(ask);
      no.focus();
    });
    [watch, keep, remove].forEach(function (b) { actions.appendChild(b); });
    return row;
  }

  // One board: place, racer, best lap, date, gap, what the time comes
  // with (its own replay, proven by the line's digest: watch to check), Watch.
  function boardTable(b) {
    var t = table(b.track + ' \u00b7 ' + b.type + (b.meaning ? ': ' + b.meaning : ''),
                  ['Place', 'Racer', 'Best lap', 'Date', 'Gap', 'Evidence', 'Replay']);
    var body = t.querySelector('tbody');
    b.entries.forEach(function (e, i) {
      var row = element('tr');
      cell(row, String(i + 1) + '.');
      cell(row, e.racer + (e.you ? ' (you)' : ''), 'friend-name');
      labelled(cell(row, e.lap), 'Best lap');
      labelled(cell(row, e.when), 'Date');
      labelled(cell(row, e.gap || 'leader'), 'Gap');
      cell(row, e.you ? '' : e.with_replay ? 'with its replay (watch to check)'
                : e.watch ? "its replay is not shown to be this race's" : 'without its replay');
      var actions = cell(row, null, 'friend-actions');
      if (e.watch) {
        var out = element('span', 'said');
        out.setAttribute('role', 'status');
        var watch = button('Watch', 'Watch ' + e.racer + "'s lap on " + b.track + ' ' + b.type,
                           function () {
                             watch.disabled = true;
                             app.post('watch', {}, e.watch).then(function (answer) {
                               say(out, answer);
                               watch.disabled = false;
                             });
                           });
        actions.appendChild(watch);
        actions.appendChild(out);
      }
      body.appendChild(row);
    });
    return t;
  }

  function render(data) {
    list.textContent = '';
    boards.textContent = '';
    versus.textContent = '';
    if (!data.friends.length) {
      list.appendChild(element('p', 'summary',
                               "No friend imported yet: import a friend's share or season card above."));
    } else {
      var t = table('', ['Friend', 'Imported', 'Races', 'Replays', 'Actions']);
      data.friends.forEach(function (f) { t.querySelector('tbody').appendChild(friendRow(f)); });
      list.appendChild(t);
      if (data.friends_total > data.friends.length) {
        list.appendChild(element('p', 'summary', 'The first ' + data.friends.length + ' of ' +
                                 data.friends_total + ' friends.'));
      }
    }
    (data.warnings || []).forEach(function (w) { list.appendChild(element('p', 'warnings', w)); });
    if (data.boards.length) {
      boards.appendChild(element('h3', '', 'Leaderboards'));
      data.boards.forEach(function (b) { boards.appendChild(boardTable(b)); });
      if (data.boards_total > data.boards.length) {
        boards.appendChild(element('p', 'summary', 'The first ' + data.boards.length + ' of ' +
                                   data.boards_total + ' tracks and types.'));
      }
    }
    if (data.versus.length) {
      versus.appendChild(element('h3', '', 'Head to head'));
      var h = table('', ['Against', 'Races together', 'Wins', 'Losses', 'Average gap']);
      data.versus.forEach(function (v) {
        var row = element('tr');
        cell(row, v.racer, 'friend-name');
        labelled(cell(row, String(v.races)), 'Races together');
        labelled(cell(row, String(v.wins)), 'Wins');
        labelled(cell(row, String(v.losses)), 'Losses');
        labelled(cell(row, v.average_gap === null ? '' : v.average_gap), 'Average gap');
        h.querySelector('tbody').appendChild(row);
      });
      versus.appendChild(h);
    }
    // A friend's races stay open while the friend is there.
    if (racesOf !== null && !data.friends.some(function (f) { return f.name === racesOf; })) closeRaces();
    // The charts offer these friends to compare with.
    app.friends = data.friends;
    if (window.raLibraryPage && window.raLibraryPage.redrawCharts) window.raLibraryPage.redrawCharts();
  }
  function load() {
    return app.call(app.address('friends')).then(function (answer) {
      if (!answer.ok) throw new Error('the app answered ' + answer.status);
      return answer.json();
    }).then(render).catch(function (e) { say(said, {ok: false, message: String(e)}); });
  }

  // What an import under way is doing, as /api/import tells it.
  var importStages = {receiving: 'receiving the file', checking: 'checking replays',
                      writing: 'writing replays', placing: 'putting them in place'};
  function importProgress(name, p) {
    var what = importStages[p.stage] || p.stage;
    var count = p.stage === 'receiving'
      ? (p.total ? Math.floor(100 * p.done / p.total) + ' %' : '')
      : (p.total ? p.done + ' of ' + p.total : '');
    return 'Importing ' + name + ': ' + what + (count ? ' (' + count + ')' : '') +
           (p.cancelling ? ', cancelling…' : '…');
  }
  // What an import did, replay by replay, folded under its one sentence.
  var importDetails = null;
  function showDetails(text) {
    if (importDetails) importDetails.remove();
    importDetails = null;
    if (!text) return;
    importDetails = element('details', 'import-details');
    importDetails.appendChild(element('summary', '', 'What was imported'));
    importDetails.appendChild(element('pre', '', text));
    said.parentNode.insertBefore(importDetails, said.nextSibling);
  }
  // Import: the file's own bytes, sent as they are. While it works, its
  // progress is asked for twice a second, beside a Cancel button.
  function importFile(file) {
    showDetails('');
    say(said, {ok: true, message: 'Importing ' + file.name + '…'});
    var cancel = button('Cancel', 'Cancel the import', function () {
      cancel.disabled = true;
      app.postForm('import_cancel', {}).catch(function () {});
    });
    cancel.className = 'import-cancel';
    said.parentNode.insertBefore(cancel, said.nextSibling);
    var done = false;
    function poll() {
      if (done) return;
      app.call(app.address('import_progress')).then(function (answer) { return answer.json(); }).then(function (p) {
        if (!done && p.running) say(said, {ok: true, message: importProgress(file.name, p)});
      }).catch(function () {}).then(function () { if (!done) setTimeout(poll, 500); });
    }
    setTimeout(poll, 500);
    return app.call(app.address('import', {name: file.name}), {
      method: 'POST',
      headers: {'Content-Type': 'application/octet-stream'},
      body: file
    }).then(function (answer) {
      return answer.text().then(function (text) {
        var r;
        try { r = JSON.parse(text); } catch (e) { r = {ok: false, message: text}; }
        done = true;
        cancel.remove();
        say(said, {ok: r.ok === true, message: String(r.message || '')});
        showDetails(r.details);
        return load();
      });
    }).catch(function (e) {
      done = true;
      cancel.remove();
      say(said, {ok: false, message: String(e)});
    });
  }
  var picker = document.getElementById('import-file');
  picker.addEventListener('change', function () {
    if (picker.files.length) importFile(picker.files[0]).then(function () { picker.value = ''; });
  });
  // A file dropped anywhere on the page is imported.
  document.addEventListener('dragover', function (event) {
    if (event.dataTransfer && Array.prototype.indexOf.call(event.dataTransfer.types, 'Files') >= 0) {
      event.preventDefault();
      view.classList.add('dropping');
    }
  });
  document.addEventListener('dragleave', function () { view.classList.remove('dropping'); });
  document.addEventListener('drop', function (event) {
    view.classList.remove('dropping');
    if (!event.dataTransfer || !event.dataTransfer.files.length) return;
    event.preventDefault();
    importFile(event.dataTransfer.files[0]);
  });
  var card = document.getElementById('make-card');
  card.addEventListener('click', function () {
    privacyPanel(card, 'card', undefined, 'Your season card');
  });
  load();
})();
