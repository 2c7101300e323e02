#pragma once

// The script both engines run in the main frame of every page, in a script
// world of its own that the page cannot see or change. It describes the
// page's login forms to the frame ("ready"), reports a login form as it is
// submitted ("submit"), and fills a form when the frame calls its fill
// function with a saved password. Which fields are the user name and the
// password is decided by the frame (password_rules), not here. Plain C++ so
// that the WebKit host shares it.
#include <string>

namespace passwords {

// The function the frame calls in that world:
// (origin, form, userField, passwordField, user, password). It fills only
// when the page is still at `origin` and is the top frame.
inline constexpr const char* kFillFunction = "__zelvoFillPassword";

// `post` is a JavaScript expression for a function that takes one string
// (the JSON of a message) and hands it to the frame.
inline std::string formScript(const std::string& post) {
  return "(function () {\n"
         "  if (window.top !== window || window.__zelvoFillPassword) return;\n"
         "  var post = " +
         post +
         ";\n"
         R"JS(
  var MAX_FIELDS = 200, MAX_FORMS = 20, MAX_VALUE = 513;
  function inputs(form) {
    var out = [], els = form.elements;
    for (var i = 0; i < els.length && out.length < MAX_FIELDS; ++i)
      if (els[i] instanceof HTMLInputElement) out.push(els[i]);
    return out;
  }
  function visible(e) {
    if (e.type === 'hidden') return false;
    var r = e.getBoundingClientRect();
    if (r.width < 2 || r.height < 2) return false;
    var s = getComputedStyle(e);
    return s.visibility === 'visible' && s.display !== 'none' && parseFloat(s.opacity) > 0.1;
  }
  function describe(form, withValues) {
    return inputs(form).map(function (e) {
      var f = {type: String(e.type || ''), ac: String(e.autocomplete || ''), visible: visible(e)};
      if (withValues) f.value = String(e.value).slice(0, MAX_VALUE);
      return f;
    });
  }
  // As the frame names origins: the port always given.
  function here() {
    return location.protocol + '//' + location.hostname + ':' +
        (location.port || (location.protocol === 'https:' ? '443' : '80'));
  }
  function send(m) { try { post(JSON.stringify(m)); } catch (e) {} }
  var reported = false;
  function ready() {
    var forms = document.forms;
    for (var i = 0; i < forms.length && i < MAX_FORMS; ++i) {
      var fields = describe(forms[i], false);
      if (!fields.some(function (f) { return f.type === 'password'; })) continue;
      reported = true;
      send({what: 'ready', origin: here(), form: i, fields: fields});
    }
  }
  document.addEventListener('submit', function (ev) {
    var i = Array.prototype.indexOf.call(document.forms, ev.target);
    if (i < 0 || i >= MAX_FORMS) return;
    send({what: 'submit', origin: here(), form: i, fields: describe(ev.target, true)});
  }, true);
  window.__zelvoFillPassword = function (origin, form, userField, passwordField, user, password) {
    if (here() !== origin || window.top !== window) return false;
    var f = document.forms[form];
    if (!f) return false;
    var els = inputs(f);
    function set(e, value) {
      if (!e) return;
      e.value = value;
      e.dispatchEvent(new Event('input', {bubbles: true}));
      e.dispatchEvent(new Event('change', {bubbles: true}));
    }
    if (!els[passwordField] || els[passwordField].type !== 'password') return false;
    if (userField >= 0) set(els[userField], user);
    set(els[passwordField], password);
    return true;
  };
  ready();
  // Forms a page's script builds after the document are looked at once more.
  if (!reported) window.addEventListener('load', function () { if (!reported) ready(); });
})();
)JS";
}

}  // namespace passwords
