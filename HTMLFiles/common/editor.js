// The editor pages: turns the data script of the current page (arFormat, arSeq, arParam,
// arVals) into a table of inputs whose names are the field names the server takes back, and
// posts them to the page's own address.
//
// A page sets window.PAGE before loading this file:
//   title, menu (the start page), pages (count), script(n) (the data script of page n),
//   fixed(n) (format pieces, sequence and ranges for a page whose script has no header arrays),
//   pageLabel(n), rowTitle, rowWidth, columns {sub: {label, bytes, size, readOnly, digits}},
//   readOnly.
(function () {
  var P = window.PAGE;
  var page = parseInt(location.search.substring(1), 10);
  if (!(page >= 1 && page <= P.pages)) page = 1;
  var here = location.pathname + "?" + page;
  var dirty = false;

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
    if (dirty && !confirm("変更が保存されていません。このページを離れますか？")) return;
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
    b.appendChild(el("a", { href: P.menu }, "メニューへ戻る"));
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
  // Marks a field that the tool will cut (too long) or refuse (not digits where digits belong).
  function checkInput(input) {
    var tooLong = sjisBytes(input.value) > input.zuBytes;
    var notDigits = input.zuDigits && /[^0-9]/.test(input.value);
    input.className = tooLong || notDigits ? "over" : "";
    input.title = tooLong ? "長すぎます（" + input.zuBytes + "バイトまで。全角は2バイト）"
                : notDigits ? "半角数字で入力してください" : "";
  }
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
    if (sessionStorage.getItem("zuSaved") === here) {
      sessionStorage.removeItem("zuSaved");
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
        rows[key] = { tr: tr, cells: {} };
        for (var c = 0; c < subs.length; c++) rows[key].tr.appendChild(rows[key].cells[subs[c]] = el("td"));
        table.appendChild(tr);
      }
      if (!col) continue;
      var value = k < arVals.length ? arVals[k] : "";
      var cell = rows[key].cells[sub];
      if (!editable || col.readOnly) { cell.textContent = value; continue; }
      var input = el("input", { type: "text", name: nameOf(f.format, idx), value: value, size: col.size, maxLength: col.bytes });
      input.zuBytes = col.bytes;
      input.zuDigits = !!col.digits;
      input.oninput = function () { dirty = true; checkInput(this); };
      checkInput(input);
      cell.appendChild(input);
    }
    form.appendChild(table);
    if (editable) {
      var bottom = el("div", { className: "bar" });
      bottom.appendChild(el("span", { className: "spacer" }));
      bottom.appendChild(el("button", { type: "submit", className: "save" }, "保存"));
      form.appendChild(bottom);
    }
    form.onsubmit = function () {
      var over = form.querySelectorAll("input.over").length;
      if (over && !confirm("入力に誤りのある項目が " + over + " 件あります（赤枠）。このまま保存しますか？")) return false;
      sessionStorage.setItem("zuSaved", here);
      dirty = false;
      return true;
    };
    main.appendChild(form);
  }

  document.title = P.title + "（" + page + " / " + P.pages + "）";
  var script = document.createElement("script");
  script.src = P.script(page);
  script.charset = "Shift_JIS";
  script.onload = build;
  script.onerror = function () { showError("データを読み込めませんでした。ツールが起動しているか確認してください。"); };
  document.head.appendChild(script);
})();
