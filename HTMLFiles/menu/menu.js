// The start pages: a grid of links to the pages of one editor.
// zuPageLinks(id, href, count, label) fills the element `id` with `count` links "href?N".
function zuPad(n, w) { var s = String(n); while (s.length < w) s = "0" + s; return s; }
function zuPageLinks(id, href, count, label) {
  var box = document.getElementById(id);
  for (var n = 1; n <= count; n++) {
    var a = document.createElement("a");
    a.href = typeof href === "function" ? href(n) : href + "?" + n;
    a.textContent = label(n);
    a.title = n + " ページ";
    box.appendChild(a);
  }
}
// "0100～0149": the entries of page n of 50, counted from `first`.
function zuRange(n, first, width) {
  var lo = first + (n - 1) * 50;
  return zuPad(lo, width) + "～" + zuPad(lo + 49, width);
}
