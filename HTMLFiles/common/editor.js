// The editor pages: turns the data script of the current page (arFormat, arSeq, arParam,
// arVals) into a table of inputs whose names are the field names the server takes back, and
// posts them to the page's own address. What keeps an edit from being lost (the leave warning,
// characters Shift_JIS cannot hold, the findings of a post, the row an address names) is
// common/edits.js, loaded before this file.
//
// A page sets window.PAGE before loading this file:
//   title, menu (the start page), pages (count), script(n) (the data script of page n),
//   fixed(n) (format pieces, sequence and ranges for a page whose script has no header arrays),
//   pageLabel(n), rowTitle, rowWidth, columns {sub: {label, bytes, size, readOnly, digits,
//   dial, halfWidth, check(value, row)}}, readOnly. A column's check gets the value and row(sub),
//   the value of another field of the same row, and gives the problem text or "".
(function () {
  var P = window.PAGE;
  var page = parseInt(location.search.substring(1), 10);
  if (!(page >= 1 && page <= P.pages)) page = 1;
  var here = location.pathname + "?" + page;
  var E = window.zuEdits;

  function pad(n, w) { var s = String(n); while (s.length < w) s = "0" + s; return s; }
  function el(tag, props, text) {
    var e = document.createElement(tag);
    for (var k in props) e[k] = props[k];
    if (text !== undefined) e.textContent = text;
    return e;
  }
  // Bytes of a text in Shift_JIS: ASCII and half-width katakana take one, the rest two.
  function sjisBytes(s) {
    var n = 0;
    for (var i = 0; i < s.length; i++) {
      var c = s.charCodeAt(i);
      n += (c < 0x80 || (c >= 0xFF61 && c <= 0xFF9F)) ? 1 : 2;
    }
    return n;
  }
  function go(n) {
    if (n < 1 || n > P.pages) return;
    if (!E.mayLeave()) return;
    location.href = location.pathname + "?" + n;
  }
  function navLink(text, n, enabled) {
    var a = el("a", { href: enabled ? location.pathname + "?" + n : "#" }, text);
    a.onclick = function (ev) { ev.preventDefault(); if (enabled) go(n); };
    if (!enabled) a.style.visibility = "hidden";
    return a;
  }
  function bar(withSave) {
    var b = el("div", { className: "bar" });
    var menu = b.appendChild(el("a", { href: P.menu }, "メニューへ戻る"));
    menu.onclick = function (ev) { if (!E.mayLeave()) ev.preventDefault(); };
    b.appendChild(navLink("＜ 前のページ", page - 1, page > 1));
    b.appendChild(el("span", { className: "current" },
      "ページ " + page + " / " + P.pages + "（" + P.pageLabel(page) + "）"));
    b.appendChild(navLink("次のページ ＞", page + 1, page < P.pages));
    var sel = el("select", { title: "ページへ移動" });
    for (var n = 1; n <= P.pages; n++) {
      var o = el("option", { value: n }, n + "：" + P.pageLabel(n));
      if (n === page) o.selected = true;
      sel.appendChild(o);
    }
    sel.onchange = function () { go(parseInt(sel.value, 10)); sel.value = page; };
    b.appendChild(sel);
    b.appendChild(el("span", { className: "spacer" }));
    if (withSave) b.appendChild(el("button", { type: "submit", className: "save" }, "保存"));
    return b;
  }
  // Every index tuple in the order of arVals: the outermost dimension runs slowest.
  function enumerate(seq, ranges, dims) {
    var out = [], per = 2 * dims;
    for (var t = 0; t + per <= ranges.length; t += per) {
      var idx = [];
      (function walk(level) {
        var d = seq[level];
        for (var i = ranges[t + 2 * d]; i <= ranges[t + 2 * d + 1]; i++) {
          idx[d] = i;
          if (level === 0) out.push(idx.slice()); else walk(level - 1);
        }
      })(dims - 1);
    }
    return out;
  }
  // A piece's trailing zeros are the width its number is padded to.
  function nameOf(format, idx) {
    var s = "";
    for (var i = 0; i < format.length; i++) {
      var p = format[i], lit = p.replace(/0+$/, "");
      s += lit + pad(idx[i], p.length - lit.length);
    }
    return s;
  }
  // Marks a field that the tool will cut, refuse or report: too long, characters it does not
  // take, or a value the page's own rules find wrong.
  function problemOf(input) {
    var v = input.value, col = input.zuCol, bad = E.unsendable(v);
    if (bad) return "Shift_JIS で扱えない文字があります：" + bad + "（このままでは保存できません）";
    if (sjisBytes(v) > col.bytes) return "長すぎます（" + col.bytes + "バイトまで。全角は2バイト）";
    if (col.digits && /[^0-9]/.test(v)) return "半角数字で入力してください";
    if (col.dial && /[^0-9#*PM-]/.test(v)) return "使える文字は 0～9 # * P - M です（このままでは変更されません）";
    if (col.halfWidth && /[^\x20-\x7e\uff61-\uff9f]/.test(v)) return "半角で入力してください（全角を含むと変更されません）";
    if (!col.check) return "";
    var row = input.zuRow;
    return col.check(v, function (sub) { var i = row.inputs[sub]; return i ? i.value : ""; });
  }
  function checkInput(input) {
    var problem = problemOf(input);
    input.className = problem ? "over" : "";
    input.title = problem;
  }
  function checkRow(row) { for (var s in row.inputs) checkInput(row.inputs[s]); }
  function showError(text) { document.getElementById("editor").appendChild(el("div", { className: "error" }, text)); }

  function build() {
    var main = document.getElementById("editor");
    if (typeof arVals === "undefined") { showError("データを読み込めませんでした。ページを再読み込みしてください。"); return; }
    var f = typeof arFormat !== "undefined" ? { format: arFormat, seq: arSeq, ranges: arParam } : P.fixed(page);
    var dims = f.seq.length - 1;
    var list = enumerate(f.seq, f.ranges, dims);
    var editable = !P.readOnly;
    var form = el("form", { id: "form", method: "post", action: here, acceptCharset: "Shift_JIS" });
    form.appendChild(bar(editable));
    var saved = sessionStorage.getItem("zuSaved") === here;
    if (saved) {
      sessionStorage.removeItem("zuSaved");
      // The page came back as the answer to the post: reloading it must not post again.
      if (history.replaceState) history.replaceState(null, "", here);
      form.appendChild(el("div", { className: "notice", id: "saved" }, "保存しました。"));
    }
    if (P.help) form.appendChild(el("p", { className: "help" }, P.help));
    var table = el("table", { className: "grid" });
    var head = el("tr");
    head.appendChild(el("th", {}, P.rowTitle));
    var subs = [];
    for (var s in P.columns) subs.push(parseInt(s, 10));
    subs.sort(function (a, b) { return a - b; });
    for (var j = 0; j < subs.length; j++) head.appendChild(el("th", {}, P.columns[subs[j]].label));
    table.appendChild(head);
    var rows = {};
    for (var k = 0; k < list.length; k++) {
      var idx = list[k], key = idx[0], sub = dims >= 2 ? idx[1] : 1;
      var col = P.columns[sub];
      if (!rows[key]) {
        var tr = el("tr", { id: "row" + key });
        tr.appendChild(el("td", { className: "no" }, pad(key, P.rowWidth)));
        rows[key] = { tr: tr, cells: {}, inputs: {} };
        for (var c = 0; c < subs.length; c++) rows[key].tr.appendChild(rows[key].cells[subs[c]] = el("td"));
        table.appendChild(tr);
      }
      if (!col) continue;
      var value = k < arVals.length ? arVals[k] : "";
      var cell = rows[key].cells[sub];
      if (!editable || col.readOnly) { cell.textContent = value; continue; }
      var input = el("input", { type: "text", name: nameOf(f.format, idx), value: value, size: col.size, maxLength: col.bytes });
      input.zuCol = col;
      input.zuRow = rows[key];
      input.oninput = input.onchange = function () { E.changed(); checkRow(this.zuRow); };
      rows[key].inputs[sub] = input;
      cell.appendChild(input);
    }
    for (var r in rows) checkRow(rows[r]);
    if (saved && table.querySelector("input.over")) {
      form.querySelector("#saved").className = "notice warn";
      form.querySelector("#saved").textContent = "保存しました。赤枠の項目を確認してください（枠にカーソルを合わせると理由が出ます）。";
    }
    if (saved) E.showFindings(form);
    form.appendChild(table);
    if (editable) {
      var bottom = el("div", { className: "bar" });
      bottom.appendChild(el("span", { className: "spacer" }));
      bottom.appendChild(el("button", { type: "submit", className: "save" }, "保存"));
      form.appendChild(bottom);
    }
    form.onsubmit = function () {
      if (E.holdBack(form, table)) return false;
      var over = form.querySelectorAll("input.over").length;
      if (over && !confirm("入力に誤りのある項目が " + over + " 件あります（赤枠）。このまま保存しますか？")) return false;
      sessionStorage.setItem("zuSaved", here);
      E.posted();
      return true;
    };
    main.appendChild(form);
    E.markRow();
  }

  document.title = P.title + "（" + page + " / " + P.pages + "）";
  var script = document.createElement("script");
  script.src = P.script(page);
  script.charset = "Shift_JIS";
  script.onload = build;
  script.onerror = function () { showError("データを読み込めませんでした。ツールが起動しているか確認してください。"); };
  document.head.appendChild(script);
})();
