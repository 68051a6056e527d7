// The library app's script (serve): where the page's rows come from (the
// app's answers, a page of rows at a time), the buttons of each row, the
// tidy form, and what changed in the library appearing by itself. Every
// request carries the app's token in its Authorization header (call()); an
// action is a POST. It runs before page.js, which draws what this gives
// it; on a race's details it asks for the race and runs alone.
(function () {
  'use strict';
  var app = document.getElementById('app');
  if (!app) return;
  var result = document.getElementById('result');

  // The token comes once in the address the app printed, after '#', which
  // the browser sends to no server; it is kept in this tab's own storage,
  // which no page of another port can read, so that a reload needs no
  // address. No cookie carries it: the browser would send that to every
  // port of this computer.
  var tokenKey = 'replay-autosave.token';
  function takeToken() {
    var found = /(?:^#|&)token=([0-9a-f]+)/.exec(location.hash);
    if (found) {
      var rest = location.hash.slice(1).split('&').filter(function (part) {
        return part.indexOf('token=') !== 0;
      }).join('&');
      history.replaceState(null, '', location.pathname + location.search + (rest ? '#' + rest : ''));
    }
    try {
      if (found) sessionStorage.setItem(tokenKey, found[1]);
      return sessionStorage.getItem(tokenKey) || '';
    } catch (e) {
      return found ? found[1] : '';  // no storage: this page alone has it
    }
  }
  // A tab without the token, or with one of an earlier start of the app,
  // shows how to get the address, and nothing else.
  function locked() {
    try { sessionStorage.removeItem(tokenKey); } catch (e) { /* nothing kept */ }
    var notice = document.getElementById('no-token');
    if (!notice) return;
    Array.prototype.forEach.call(notice.parentNode.children, function (part) {
      part.hidden = part !== notice && part.tagName !== 'H1';
    });
  }
  // The address opened again in this tab (the app started again, say):
  // its token, and the page anew.
  window.addEventListener('hashchange', function () {
    if (/(?:^#|&)token=/.test(location.hash) && takeToken()) location.reload();
  });
  var token = takeToken();
  if (!token) return locked();
  // Every request of the page, downloads and uploads too: the token in its
  // header.
  function call(path, options) {
    options = Object.assign({}, options);
    options.headers = Object.assign({}, options.headers, {Authorization: 'Bearer ' + token});
    return fetch(path, options).then(function (answer) {
      if (answer.status === 403) locked();
      return answer;
    });
  }
  // How often the page asks what changed.
  var pollMs = 2000;
  // How often the page asks how far the index came while it is made.
  var indexingPollMs = 500;
  // Rows of the other files asked for at once: they are few.
  var othersMax = 500;

  function getJson(path) {
    return call(path).then(function (answer) {
      if (!answer.ok) throw new Error('the app answered ' + answer.status);
      return answer.json();
    });
  }
  function queryText(fields) {
    return Object.keys(fields).filter(function (k) {
      return fields[k] !== '' && fields[k] !== false && fields[k] !== undefined;
    }).map(function (k) {
      return k + '=' + encodeURIComponent(fields[k] === true ? '1' : fields[k]);
    }).join('&');
  }

  // An address of the app: the route's path by its name in the app's route
  // table (raRoutes, made from it when the program is built) and the query
  // of the given fields, and `file`, a replay's name as the page names it
  // (already percent-encoded); each a parameter the table lists for the
  // route, so that a name mistyped here fails at once.
  function routeOf(route, fields, file) {
    var known = raRoutes[route];
    if (!known) throw new Error('The app has no route ' + route + '.');
    Object.keys(fields || {}).concat(file === undefined ? [] : ['file']).forEach(function (name) {
      if (known.params.indexOf(name) < 0) throw new Error(route + ' takes no ' + name + '.');
    });
    return known;
  }
  function address(route, fields, file) {
    var query = queryText(fields || {});
    if (file !== undefined) query += (query ? '&' : '') + 'file=' + file;
    return routeOf(route, fields, file).path + (query ? '?' + query : '');
  }

  // The page's rows from the app's answers. Each answer tells the cursor
  // of the library it was made from: what changed after it comes by itself.
  var cursor = null, racer = '';
  function noteCursor(answer) {
    if (cursor === null && answer.cursor !== undefined) cursor = answer.cursor;
    return answer;
  }
  var source = {
    facts: function () {
      return getJson(address('facts', {racer: racer})).then(function (facts) {
        // The library's index is being made: how far it came, until it is.
        if (facts.cursor === undefined && facts.indexing) {
          showIndexing(facts.indexing);
          return new Promise(function (done) { setTimeout(done, indexingPollMs); })
            .then(source.facts);
        }
        showIndexing(null);
        cursor = facts.cursor;
        return facts;
      });
    },
    rows: function (q, offset, limit) {
      racer = q.racer;
      return getJson(address('rows', {
        offset: offset, limit: limit, sort: q.sort, desc: q.desc ? '1' : '0', track: q.track,
        type: q.type, weather: q.weather, racer: q.racer, q: q.text, pb: q.pb, kept: q.kept
      })).then(noteCursor);
    },
    others: function () {
      return getJson(address('rows', {kind: 'other', limit: othersMax})).then(function (page) {
        return page.rows;
      });
    },
    chartGroups: function (racer) {
      return getJson(address('facts', {racer: racer})).then(function (facts) {
        return facts.chart_groups || [];
      });
    },
    chart: function (query) {
      return getJson(address('chart', {track: query.track, type: query.type,
                                                racer: query.racer, window: query.window,
                                                friend: query.friend}));
    },
    // A chart's dot opens its race's details instead.
    position: function () { return -1; }
  };

  // A form of text fields, and the replay's name as the page holds it:
  // percent-encoded already, its own bytes, which may be no UTF-8.
  function postForm(route, fields, file) {
    var path = routeOf(route, fields, file).path;
    var parts = [];
    Object.keys(fields).forEach(function (name) {
      parts.push(name + '=' + encodeURIComponent(fields[name]));
    });
    if (file !== undefined) parts.push('file=' + file);
    return call(path, {
      method: 'POST',
      headers: {'Content-Type': 'application/x-www-form-urlencoded'},
      body: parts.join('&')
    });
  }
  function post(route, fields, file) {
    return postForm(route, fields, file).then(function (answer) {
      // An action answers in JSON; a refusal of the gate, in a sentence.
      return answer.text().then(function (text) {
        try {
          var said = JSON.parse(text);
          said.ok = said.ok === true;
          said.message = String(said.message || '');
          said.removed = said.removed || [];
          return said;
        } catch (e) {
          return {ok: false, message: text, removed: []};
        }
      });
    });
  }

  // The replay the game holds since Watch put it there, until the game's
  // replay changes (the player raced, or watched another).
  var loaded = {id: null, game: null};
  // The last answer of each row's buttons, by row id.
  var answers = {};
  function element(tag, className, text) {
    var e = document.createElement(tag);
    if (className) e.className = className;
    if (text !== undefined) e.textContent = text;
    return e;
  }
  function button(action, label, name) {
    var b = element('button', '', label);
    b.type = 'button';
    b.setAttribute('data-do', action);
    b.setAttribute('aria-label', label + ' ' + name);
    return b;
  }
  // What a row of the app has besides the file: the player's mark, the
  // buttons, and that Watch put it in the game.
  function decorate(cell, r) {
    var there = r.state === 'saved' || r.state === 'renamed';
    if (r.kept && there) cell.appendChild(element('span', 'state mark', 'kept by you'));
    if (!there) return;
    var actions = element('span', 'actions');
    actions.setAttribute('data-file', r.id);
    actions.appendChild(button('watch', 'Watch', r.name));
    if (r.kind === 'race') {
      actions.appendChild(button(r.kept ? 'unkeep' : 'keep', r.kept ? 'Unkeep' : 'Keep', r.name));
      actions.appendChild(button('share', 'Share', r.name));
    }
    if (r.details) {
      var link = element('a', '', 'Details');
      link.href = address('race_page', {}, r.id);
      link.setAttribute('aria-label', 'Details of ' + r.name);
      actions.appendChild(link);
    }
    cell.appendChild(actions);
    if (loaded.id === r.id) cell.appendChild(element('span', 'state loaded', 'loaded in the game'));
    var said = element('span', 'said');
    said.setAttribute('role', 'status');
    // A row drawn again (a poll, a reload after a rebuild) keeps the answer
    // its button got.
    var answered = answers[r.id];
    if (answered) {
      said.textContent = answered.message;
      said.classList.toggle('failed', !answered.ok);
    }
    cell.appendChild(said);
  }

  function say(answer, near) {
    var place = near || result;
    place.textContent = answer.message;
    place.classList.toggle('failed', !answer.ok);
  }
  // The row that changed, in place; on a race's details page, its buttons.
  function showRow(r) {
    if (window.raLibraryPage) return window.raLibraryPage.replaceRow(r);
    var actions = document.querySelector('.actions[data-file="' + CSS.escape(r.id) + '"]');
    if (!actions) return false;
    var cell = actions.parentNode, said = cell.querySelector('.said');
    var keep = actions.querySelector('[data-do=keep], [data-do=unkeep]');
    if (keep) {
      keep.setAttribute('data-do', r.kept ? 'unkeep' : 'keep');
      keep.textContent = r.kept ? 'Unkeep' : 'Keep';
      keep.setAttribute('aria-label', keep.textContent + ' ' + r.name);
    }
    var mark = cell.querySelector('.mark');
    if (mark) mark.hidden = !r.kept;
    var loadedMark = cell.querySelector('.loaded');
    if (loadedMark) loadedMark.hidden = loaded.id !== r.id;
    return !!said;
  }
  function saidOf(id) {
    var actions = document.querySelector('.actions[data-file="' + CSS.escape(id) + '"]');
    return actions ? actions.parentNode.querySelector('.said') : null;
  }

  document.addEventListener('click', function (event) {
    var pressed = event.target.closest('.actions button');
    if (!pressed) return;
    var id = pressed.parentNode.getAttribute('data-file');
    var action = pressed.getAttribute('data-do');
    // Share asks first what it gives away (friends.js).
    if (action === 'share') {
      var name = pressed.getAttribute('aria-label').replace(/^Share /, '');
      return window.raLibraryApp.share(pressed, id, name);
    }
    pressed.disabled = true;
    post(action, {}, id).then(function (answer) {
      if (action === 'watch' && answer.ok) {
        var before = loaded.id;
        loaded = {id: id, game: answer.game || null};
        if (before && before !== id) unmark(before);
      }
      // The rows the action changed come as every change does, from /state.
      return catchUp().catch(function () {}).then(function () { return answer; });
    }).then(function (answer) {
      if (action === 'watch') {
        var r = document.querySelector('.actions[data-file="' + CSS.escape(id) + '"]');
        if (r) markLoaded(r.parentNode, answer.ok);
      }
      // The answer beside the row it was pressed on (the row may have been
      // drawn again meanwhile).
      answers[id] = {message: answer.message, ok: answer.ok};
      var near = saidOf(id);
      say(answer, near);
      if (near) result.textContent = '';
    }).catch(function (e) { say({ok: false, message: String(e)}); })
      .then(function () {
        var again = document.querySelector('.actions[data-file="' + CSS.escape(id) + '"] [data-do="' +
                                           (action === 'keep' ? 'unkeep' : action === 'unkeep' ? 'keep' : action) + '"]');
        if (again) again.disabled = false;
        if (pressed.isConnected) pressed.disabled = false;
      });
  });
  function markLoaded(cell, ok) {
    var mark = cell.querySelector('.loaded');
    if (!ok) return;
    if (!mark) {
      mark = element('span', 'state loaded', 'loaded in the game');
      cell.insertBefore(mark, cell.querySelector('.said'));
    }
    mark.hidden = false;
  }
  function unmark(id) {
    var actions = document.querySelector('.actions[data-file="' + CSS.escape(id) + '"]');
    var mark = actions ? actions.parentNode.querySelector('.loaded') : null;
    if (mark) mark.hidden = true;
  }

  // A button that a key held down cannot press: the key's repeats, which
  // may have begun on another control before this one was there or had the
  // focus, are not the player pressing it. A click, a tap, or a key pressed
  // anew on it acts.
  function onPurpose(b, act) {
    var repeating = false;
    b.addEventListener('keydown', function (event) { repeating = event.repeat; });
    b.addEventListener('keyup', function () { repeating = false; });
    b.addEventListener('blur', function () { repeating = false; });
    b.addEventListener('click', function (event) {
      if (repeating) return event.preventDefault();
      act(event);
    });
  }

  // Tidy: what would go, how much space it frees and where it goes; then
  // the player's own second step. The preview leaves the focus on Cancel,
  // and the button that removes, which says what it does, comes after it:
  // reached by Tab or the pointer alone, never by Enter pressed again or
  // held. It removes only the plan the preview showed; the app refuses
  // another. Afterwards the page asks for its rows and counts again.
  var form = document.getElementById('tidy-form');
  if (form) {
    var plan = document.getElementById('tidy-plan');
    var planSaid = document.getElementById('tidy-said');
    var applyButton = document.getElementById('tidy-apply');
    var cancelButton = document.getElementById('tidy-cancel');
    var previewed = '';  // the plan of the preview shown: what apply may remove
    var fields = function (apply) {
      var f = {apply: apply ? '1' : '0'};
      ['keep', 'max_size', 'older_than'].forEach(function (name) {
        f[name] = form.elements[name].value.trim();
      });
      if (apply) f.plan = previewed;
      return f;
    };
    var tidy = function (apply) {
      return post('tidy', fields(apply)).then(function (answer) {
        plan.hidden = false;
        planSaid.textContent = answer.said || answer.message;
        planSaid.classList.toggle('failed', !answer.ok);
        previewed = answer.ok && !answer.applied && answer.removed.length ? String(answer.plan || '') : '';
        applyButton.textContent = String(answer.apply_words || '');
        applyButton.hidden = cancelButton.hidden = !previewed;
        if (previewed) cancelButton.focus();
        if (answer.applied) {
          document.getElementById('tidy-preview').focus();
          if (window.raLibraryPage) window.raLibraryPage.start();
        }
      }).catch(function (e) {
        planSaid.textContent = String(e);
        planSaid.classList.add('failed');
      });
    };
    form.addEventListener('submit', function (event) { event.preventDefault(); tidy(false); });
    // Enter held in a box asks once.
    form.addEventListener('keydown', function (event) {
      if (event.key === 'Enter' && event.repeat) event.preventDefault();
    });
    form.addEventListener('input', function () {
      plan.hidden = true;
      previewed = '';
    });
    onPurpose(applyButton, function () {
      if (!previewed) return;
      applyButton.hidden = cancelButton.hidden = true;
      tidy(true);
    });
    onPurpose(cancelButton, function () {
      plan.hidden = true;
      previewed = '';
      form.elements.keep.focus();
    });
  }

  // A rebuild of the library's index, told above the library while it runs
  // (its count of replays once it has one).
  var indexing = false;
  function showIndexing(progress) {
    var notice = document.getElementById('notice');
    if (!notice) return false;
    var was = indexing;
    indexing = !!progress;
    if (indexing) {
      notice.hidden = false;
      notice.textContent = progress.total ?
        'Reading the library: ' + progress.done + ' of ' + progress.total + ' replays…' :
        'Reading the library…';
    }
    return was && !indexing;
  }

  // What changed since the cursor: the rows that changed, in place; new
  // races and a changed library make the page ask for its rows again, as
  // many as it shows; the rows of removed files leave it. Asked every
  // pollMs, and at once after an action.
  function catchUp() {
    if (cursor === null) return Promise.resolve();
    return getJson(address('state', {since: cursor, racer: racer})).then(function (now) {
      var page = window.raLibraryPage;
      // Once a rebuild is over, the page asks for everything again.
      if (showIndexing(now.indexing) && page) {
        cursor = now.cursor;
        return page.start();
      }
      if (loaded.game && now.game && now.game !== loaded.game) {
        unmark(loaded.id);
        loaded = {id: null, game: null};
      }
      if (now.reload || now.facts_changed) {
        cursor = now.cursor;
        return page ? page.start() : null;
      }
      var fresh = false;
      (now.changed || []).forEach(function (r) {
        if (!showRow(r)) fresh = true;
      });
      (now.removed || []).forEach(function (id) { if (page) page.removeRow(id); });
      cursor = now.cursor;
      return fresh && page ? page.start() : null;
    });
  }
  function poll() {
    catchUp().catch(function () { /* the app stopped: ask again later */ })
      .then(function () { setTimeout(poll, pollMs); });
  }
  setTimeout(poll, pollMs);

  // A race's details: markup the app made of escaped text (its page's
  // policy runs no script in it), asked for by the name in the address.
  var race = document.getElementById('race');
  if (race) {
    var named = /(?:^\?|&)file=([^&]*)/.exec(location.search);
    call(address('race', {}, named ? named[1] : '')).then(function (answer) {
      if (!answer.ok) return answer.text().then(function (text) { say({ok: false, message: text}); });
      return answer.json().then(function (details) {
        document.title = details.title;
        document.getElementById('race-title').textContent = details.title;
        result.insertAdjacentHTML('afterend', details.actions);
        race.innerHTML = details.facts;
      });
    }).catch(function (e) { say({ok: false, message: String(e)}); });
  }

  window.raLibraryApp = {source: source, decorate: decorate, post: post, postForm: postForm, address: address,
                         call: call};
})();
