// The look of the editor pages. Served like every file here, so it is applied from a script:
// a style sheet would not be taken without its own content type.
(function () {
  var css = `
    body { font-family: "Noto Sans CJK JP", "Noto Sans JP", "Meiryo", sans-serif; margin: 0; background: #f4f6f8; color: #222; min-width: fit-content; }
    header { background: #2d5f8b; color: #fff; padding: 10px 16px; }
    header h1 { font-size: 20px; margin: 0; }
    header a { color: #dfeefc; }
    .bar { display: flex; flex-wrap: wrap; align-items: center; gap: 10px; padding: 10px 16px; background: #e3ebf2; border-bottom: 1px solid #c5d3df; }
    .bar .current { font-weight: bold; font-size: 17px; }
    .bar a, .bar select { font-size: 15px; }
    .bar .spacer { flex: 1; }
    button.save { font-size: 16px; font-weight: bold; padding: 6px 22px; background: #d9534f; color: #fff; border: 0; border-radius: 4px; cursor: pointer; }
    button.save:hover { background: #c9302c; }
    .notice { margin: 10px 16px; padding: 8px 12px; background: #dff0d8; border: 1px solid #b2d8a4; border-radius: 4px; }
    .notice.warn { background: #fff3cd; border-color: #e0c36a; }
    .error { margin: 10px 16px; padding: 8px 12px; background: #f8d7da; border: 1px solid #e0a3a9; border-radius: 4px; }
    main { padding: 8px 16px 24px; }
    #editor table.grid { margin: 8px 16px; }
    #editor p.help { margin: 8px 16px; }
    table.grid { border-collapse: collapse; background: #fff; }
    table.grid th, table.grid td { border: 1px solid #c9d2da; padding: 2px 5px; font-size: 14px; white-space: nowrap; }
    table.grid th { background: #eef2f6; position: sticky; top: 0; }
    table.grid td.no { background: #eef2f6; text-align: right; font-family: monospace; font-size: 14px; position: sticky; left: 0; }
    table.grid th:first-child { left: 0; z-index: 1; }
    table.grid tr:nth-child(even) td { background-color: #fafbfc; }
    table.grid tr:nth-child(even) td.no { background: #e6ecf1; }
    table.grid input { font-size: 14px; border: 1px solid #b8c4ce; padding: 1px 3px; }
    table.grid input.over { border: 2px solid #d9534f; background: #fde8e8; }
    table.grid tr.found td, table.grid tr.found td.no { background: #fff2a8; }
    table.grid tr.found td.no { box-shadow: inset 4px 0 0 #e0a800; }
    form.find { margin: 8px 16px; display: flex; flex-wrap: wrap; gap: 6px; align-items: center; }
    form.find input { font-size: 15px; padding: 3px 6px; }
    form.find button { font-size: 15px; padding: 3px 14px; }
    .found-list { flex-basis: 100%; }
    .found-list table.grid { margin: 4px 0; }
    .found-list p { margin: 4px 0; font-size: 14px; }
    .links { display: grid; grid-template-columns: repeat(auto-fill, minmax(120px, 1fr)); gap: 4px; margin: 6px 0 18px; }
    .links a { display: block; padding: 4px 6px; background: #fff; border: 1px solid #c9d2da; border-radius: 3px; text-decoration: none; color: #1d4b73; font-family: monospace; font-size: 14px; text-align: center; }
    .links a:hover { background: #e3ebf2; }
    h2 { font-size: 17px; margin: 16px 0 4px; color: #2d5f8b; }
    p.help { margin: 4px 0 8px; font-size: 14px; color: #555; }
  `;
  var style = document.createElement("style");
  style.textContent = css;
  document.head.appendChild(style);
})();
