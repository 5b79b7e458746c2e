// What keeps an edit on the editor pages from being lost, for common/editor.js (load this first):
//
// - Once a field has been changed (changed()), the page asks before it is left by any way: its own
//   links and page choice (mayLeave()), and beforeunload for the browser's back, reload and close.
//   A post (posted()) ends that.
// - A character Shift_JIS cannot hold (common/sjis_chars.js) would reach the tool as "&#NNNN;"
//   text: unsendable(text) names those characters, so the field is marked, and holdBack() keeps
//   the form from being posted while a field holds one.
// - The findings the tool made on the last post of this page (zuPostFindings of the data script)
//   are shown on the page that comes back (showFindings()).
// - A row the address names ("#row123", as the find box links) is scrolled into view and marked
//   (markRow()).
(function () {
  var dirty = false;
  function el(tag, props, text) {
    var e = document.createElement(tag);
    for (var k in props) e[k] = props[k];
    if (text !== undefined) e.textContent = text;
    return e;
  }
  var E = window.zuEdits = {
    changed: function () { dirty = true; },
    posted: function () { dirty = false; },
    // Whether the page may be left: nothing changed, or the user lets the changes go.
    mayLeave: function () {
      if (!dirty) return true;
      if (!confirm("変更が保存されていません。このページを離れますか？")) return false;
      dirty = false;
      return true;
    },
    // The characters of a text that Shift_JIS cannot hold, each once ("" when there is none).
    unsendable: function (v) {
      if (!window.zuSjisHolds) return "";
      var bad = "";
      for (var i = 0; i < v.length; i++) {
        var c = v.codePointAt(i), ch = String.fromCodePoint(c);
        if (c > 0xffff) i++;
        if (!window.zuSjisHolds(c) && bad.indexOf(ch) < 0) bad += ch;
      }
      return bad;
    },
    // True (and a message above `before`) when a field of the form holds such a character.
    holdBack: function (form, before) {
      var held = [];
      form.querySelectorAll("input").forEach(function (i) { if (E.unsendable(i.value)) held.push(i); });
      var note = document.getElementById("held");
      if (!held.length) {
        if (note) note.parentNode.removeChild(note);
        return false;
      }
      if (!note) form.insertBefore(note = el("div", { className: "error", id: "held" }), before);
      note.textContent = "Shift_JIS で扱えない文字を含む項目が " + held.length +
        " 件あります（赤枠）。直してから保存してください。保存はしていません。";
      held[0].focus();
      return true;
    },
    showFindings: function (form) {
      if (typeof zuPostFindings !== "string" || !zuPostFindings) return;
      var box = el("div", { className: "error", id: "findings" });
      box.appendChild(el("strong", {}, "保存時の確認事項："));
      zuPostFindings.split("\n").forEach(function (line) { if (line) box.appendChild(el("div", {}, line)); });
      form.appendChild(box);
    },
    markRow: function () {
      var m = /^#row(\d+)$/.exec(location.hash);
      var old = document.querySelector("tr.found");
      if (old) old.classList.remove("found");
      var row = m && document.getElementById("row" + parseInt(m[1], 10));
      if (!row) return;
      row.classList.add("found");
      row.scrollIntoView({ block: "center" });
    }
  };
  window.zuMayLeave = E.mayLeave;
  window.addEventListener("beforeunload", function (ev) {
    if (!dirty) return undefined;
    ev.preventDefault();
    ev.returnValue = "";
    return "";
  });
  window.addEventListener("hashchange", E.markRow);
})();
