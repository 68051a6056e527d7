// The library app's script (serve): the buttons of each row, the tidy
// form, and new races appearing by themselves. Every action is a POST that
// carries the secret the page was given (the browser adds the app's cookie
// to every request); the answers are the companion's own messages, shown
// as text.
(function () {
  'use strict';
  var app = document.getElementById('app');
  if (!app) return;
  var secret = app.getAttribute('data-secret');
  var state = app.getAttribute('data-state');
  var result = document.getElementById('result');
  // How often the page asks whether a race was saved.
  var pollMs = 2000;

  // A form of text fields, and the replay's name as the page holds it:
  // percent-encoded already, its own bytes, which may be no UTF-8.
  function post(path, fields, file) {
    var parts = ['secret=' + encodeURIComponent(secret)];
    Object.keys(fields).forEach(function (name) {
      parts.push(name + '=' + encodeURIComponent(fields[name]));
    });
    if (file !== undefined) parts.push('file=' + file);
    return fetch(path, {
      method: 'POST',
      headers: { 'Content-Type': 'application/x-www-form-urlencoded' },
      body: parts.join('&')
    }).then(function (answer) {
      // An action answers in JSON; a refusal of the gate, in a sentence.
      return answer.text().then(function (text) {
        try {
          var said = JSON.parse(text);
          return { ok: said.ok === true, message: String(said.message),
                   removed: said.removed || [], applied: said.applied === true };
        } catch (e) {
          return { ok: false, message: text, removed: [], applied: false };
        }
      });
    });
  }

  function say(answer) {
    result.textContent = answer.message;
    result.className = answer.ok ? '' : 'failed';
  }

  // The blocks the server makes from the record and the files, in place of
  // ours: the table's rows, the overview (summary, racers, charts) and the
  // other files. The filters, the tidy form and what the actions answered
  // stay as the player left them. A page that had no races has no table to
  // fill: it is loaded afresh once it would have one.
  function refresh() {
    return fetch('/').then(function (answer) { return answer.text(); }).then(function (html) {
      var fresh = new DOMParser().parseFromString(html, 'text/html');
      var freshApp = fresh.getElementById('app');
      if (freshApp) state = freshApp.getAttribute('data-state');
      var table = document.getElementById('replays'), theirs = fresh.getElementById('replays');
      if (!table) {
        if (theirs) location.reload();
        return;
      }
      if (!theirs) return;
      var body = table.tBodies[0];
      while (body.rows.length) body.deleteRow(0);
      Array.prototype.slice.call(theirs.tBodies[0].rows).forEach(function (row) {
        body.appendChild(document.importNode(row, true));
      });
      ['overview', 'other-files'].forEach(function (id) {
        var mine = document.getElementById(id), next = fresh.getElementById(id);
        if (mine && next) mine.parentNode.replaceChild(document.importNode(next, true), mine);
      });
      document.dispatchEvent(new Event('ra-rows'));
    });
  }

  document.addEventListener('click', function (event) {
    var button = event.target.closest('.actions button');
    if (!button) return;
    var file = button.parentNode.getAttribute('data-file');
    var action = button.getAttribute('data-do');
    button.disabled = true;
    post('/' + action, {}, file).then(function (answer) {
      say(answer);
      return action === 'watch' ? null : refresh();
    }).catch(function (e) { say({ ok: false, message: String(e) }); })
      .then(function () { button.disabled = false; });
  });

  var form = document.getElementById('tidy-form');
  var applyButton = document.getElementById('tidy-apply');
  var tidyResult = document.getElementById('tidy-result');
  function tidy(apply) {
    var fields = { apply: apply ? '1' : '0' };
    ['keep', 'max_size', 'older_than'].forEach(function (name) {
      fields[name] = form.elements[name].value.trim();
    });
    return post('/tidy', fields).then(function (answer) {
      tidyResult.textContent = answer.message;
      tidyResult.className = answer.ok ? '' : 'failed';
      // Remove is offered for a preview that would take replays.
      applyButton.disabled = apply || !answer.ok || answer.applied || !answer.removed.length;
      return apply ? refresh() : null;
    });
  }
  form.addEventListener('submit', function (event) { event.preventDefault(); tidy(false); });
  form.addEventListener('input', function () { applyButton.disabled = true; });
  applyButton.addEventListener('click', function () { tidy(true); });

  // A cheap question every few seconds; the rows only when a race came.
  function poll() {
    fetch('/state').then(function (answer) { return answer.text(); }).then(function (now) {
      return now !== state ? refresh() : null;
    }).catch(function () { /* the app stopped: ask again later */ })
      .then(function () { setTimeout(poll, pollMs); });
  }
  setTimeout(poll, pollMs);
})();
