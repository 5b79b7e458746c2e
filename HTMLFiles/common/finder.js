// The find box of the editor pages, under the page's header: a name, a reading (full-width kana
// are taken too), digits of a number or an entry number. The tool searches its tables
// ("/find.js") and the hits are listed under the box; choosing one opens its page with the row
// marked. The restriction pages search the restriction numbers, the others the phonebook.
(function () {
  var scope = /Regulation|\/system\//.test(location.pathname) ? "r" : "p";
  var KINDS = { s: "短縮", e: "内線", r: "規制" };
  function el(tag, props, text) {
    var e = document.createElement(tag);
    for (var k in props) e[k] = props[k];
    if (text !== undefined) e.textContent = text;
    return e;
  }
  // The characters that would break the query apart are %-escaped here; every other character is
  // left to the browser, which writes it in the page's own encoding (Shift_JIS), as the tool reads it.
  function queryText(s) {
    return s.replace(/[\x00-\x20%&#+=?;\\"'<>\x7f]/g, function (c) {
      var h = c.charCodeAt(0).toString(16).toUpperCase();
      return "%" + (h.length < 2 ? "0" + h : h);
    });
  }
  var box = el("form", { className: "find", id: "find" });
  var input = el("input", { type: "search", name: "q", size: 36, maxLength: 32,
    placeholder: "名前・ヨミガナ・電話番号・番号で検索" });
  input.setAttribute("aria-label", "検索");
  box.appendChild(input);
  box.appendChild(el("button", { type: "submit" }, "検索"));
  var out = el("div", { className: "found-list", id: "findResults" });
  box.appendChild(out);

  function show(hits, more) {
    out.textContent = "";
    if (!hits.length) { out.appendChild(el("p", {}, "見つかりませんでした。")); return; }
    var table = el("table", { className: "grid" });
    var head = el("tr");
    ["番号", "名前", "ヨミガナ", "電話番号", "ページ"].forEach(function (t) { head.appendChild(el("th", {}, t)); });
    table.appendChild(head);
    hits.forEach(function (h) {
      var tr = el("tr");
      var a = el("a", { href: h[5] }, KINDS[h[0]] + " " + h[1]);
      a.onclick = function (ev) {
        if (window.zuMayLeave && !window.zuMayLeave()) ev.preventDefault();
      };
      var first = el("td");
      first.appendChild(a);
      tr.appendChild(first);
      tr.appendChild(el("td", {}, h[2] || h[4] ? h[2] : "（未登録）"));
      tr.appendChild(el("td", {}, h[3]));
      tr.appendChild(el("td", {}, h[4]));
      var page = /\?(\d+)/.exec(h[5]);
      tr.appendChild(el("td", {}, page ? page[1] : ""));
      table.appendChild(tr);
    });
    out.appendChild(table);
    if (more > 0) out.appendChild(el("p", {}, "ほかに " + more + " 件あります。検索する語を詳しくしてください。"));
  }

  box.onsubmit = function () {
    var q = input.value.replace(/^\s+|\s+$/g, "");
    if (!q) return false;
    window.zuFindHits = undefined;
    var s = document.createElement("script");
    s.charset = "Shift_JIS";
    s.src = "/find.js?k=" + scope + "&q=" + queryText(q);
    s.onload = function () {
      document.head.removeChild(s);
      show(window.zuFindHits || [], window.zuFindMore || 0);
    };
    s.onerror = function () {
      document.head.removeChild(s);
      out.textContent = "検索できませんでした。ツールが起動しているか確認してください。";
    };
    document.head.appendChild(s);
    return false;
  };
  var header = document.querySelector("header");
  header.parentNode.insertBefore(box, header.nextSibling);
})();
