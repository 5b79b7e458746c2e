// The editor pages in a real browser against the real server, started through `zuctl edit`.
'use strict';

const { test } = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');
const http = require('node:http');
const path = require('node:path');
const { Editor, sharedBrowser, fieldValue, shot, workFolder, save } = require('./harness');

let page;
sharedBrowser((p) => {
  page = p;
});

const value = (name) => fieldValue(page, name);

test('speed dial: type a name, a reading and a number on page 3, save, and find them again', async () => {
  const dir = workFolder();
  const file = path.join(dir, 'book.zud8');
  let editor = await Editor.start(['phonebook', file]);
  await page.goto(editor.url);
  await shot(page, 'start-phonebook');
  await page.getByRole('link', { name: '0100～0149' }).click();
  await page.locator('table.grid').waitFor();
  assert.match(await page.locator('.bar .current').first().textContent(), /ページ 3 \/ 200（0100～0149）/);
  await page.fill('input[name="m070_0100n1"]', '0312345678');
  await page.fill('input[name="m070_0100n2"]', '山田太郎');
  await page.fill('input[name="m070_0100n3"]', 'ﾔﾏﾀﾞﾀﾛｳ');
  await page.fill('input[name="m070_0100n4"]', '1');
  await page.fill('input[name="m070_0100n6"]', '3');
  await save(page);
  assert.strictEqual(await page.locator('#saved').textContent(), '保存しました。');
  assert.strictEqual(await value('m070_0100n1'), '0312345678');
  assert.strictEqual(await value('m070_0100n2'), '山田太郎');
  assert.strictEqual(await value('m070_0100n3'), 'ﾔﾏﾀﾞﾀﾛｳ');
  assert.strictEqual(await value('m070_0100n6'), '3');
  // Reloading the saved page asks for it again instead of posting it once more.
  const again = await page.reload();
  assert.strictEqual(again.request().method(), 'GET');
  await page.locator('table.grid').waitFor();
  assert.strictEqual(await value('m070_0100n2'), '山田太郎');
  await shot(page, 'speed-dial-page3-saved');

  // A duplicate of the same number and use is saved and reported.
  await page.fill('input[name="m070_0101n1"]', '0312345678');
  await page.fill('input[name="m070_0101n4"]', '1');
  await save(page);
  await editor.waitForMessage('エラー: 短縮番号0100番と0101番が重複して登録されています。');
  assert.strictEqual(await value('m070_0101n1'), '0312345678');
  await shot(page, 'speed-dial-duplicate');

  // A use the table does not know keeps the page as typed and is reported.
  await page.fill('input[name="m070_0102n1"]', '0399999999');
  await page.fill('input[name="m070_0102n4"]', '0');
  assert.strictEqual(await page.locator('input[name="m070_0102n4"]').getAttribute('class'), 'over');
  page.once('dialog', (d) => d.accept());  // "save anyway?"
  await save(page);
  await editor.waitForMessage('エラー: 短縮番号 0102 の用途が「0」または範囲外に設定されています。');
  assert.strictEqual(await value('m070_0102n1'), '0399999999');
  assert.strictEqual(await page.locator('input[name="m070_0102n4"]').getAttribute('class'), 'over');
  assert.match(await page.locator('#saved').textContent(), /赤枠の項目を確認してください/);
  await shot(page, 'speed-dial-use-finding');

  // A full-width reading would be refused by the table: the field says so before it is saved.
  await page.fill('input[name="m070_0103n3"]', 'ヤマダ');
  assert.strictEqual(await page.locator('input[name="m070_0103n3"]').getAttribute('class'), 'over');
  await page.fill('input[name="m070_0103n3"]', '');

  assert.strictEqual(await editor.stop(), 0);
  assert.ok(fs.existsSync(file));

  // The saved file gives the entries back.
  editor = await Editor.start(['phonebook', file]);
  await page.goto(editor.url + 'hoshu/16tansyuku_01.html?3');
  await page.locator('table.grid').waitFor();
  assert.strictEqual(await value('m070_0100n2'), '山田太郎');
  assert.strictEqual(await value('m070_0101n1'), '0312345678');
  assert.strictEqual(await value('m070_0102n1'), '');  // never accepted
  assert.strictEqual(await editor.stop(), 0);
  assert.deepStrictEqual(page.errors, []);
});

test('extension names: an edit on the 17tel_ page stays after the reload and after the close', async () => {
  const dir = workFolder();
  const file = path.join(dir, 'names.zud4');
  let editor = await Editor.start(['phonebook', file]);
  await page.goto(editor.url);
  await page.getByRole('link', { name: '101～134' }).click();
  await page.locator('table.grid').waitFor();
  assert.strictEqual(await page.locator('#row101 td').nth(1).textContent(), '101');
  await page.fill('input[name="m072_101n2"]', '受付');
  await page.fill('input[name="m072_101n3"]', 'ｳｹﾂｹ');
  await save(page);
  assert.strictEqual(await value('m072_101n2'), '受付');
  await shot(page, 'extension-names-saved');
  await page.goto(editor.url + 'hoshu/17tel_01.html?10');
  await page.locator('table.grid').waitFor();
  assert.strictEqual(await value('m072_700n2'), '内線一斉');
  await shot(page, 'extension-names-700');
  assert.strictEqual(await editor.stop(), 0);

  editor = await Editor.start(['phonebook', file]);
  await page.goto(editor.url + 'hoshu/17tel_01.html?1');
  await page.locator('table.grid').waitFor();
  assert.strictEqual(await value('m072_101n2'), '受付');
  assert.strictEqual(await value('m072_101n3'), 'ｳｹﾂｹ');
  assert.strictEqual(await editor.stop(), 0);
});

test('templates: a page of 50 messages', async () => {
  const dir = workFolder();
  const editor = await Editor.start(['phonebook', path.join(dir, 'texts.zud9')]);
  await page.goto(editor.url + 'hoshu/27teikei_01.html?20');
  await page.locator('table.grid').waitFor();
  assert.strictEqual(await page.locator('table.grid tr').count(), 1 + 49);
  await page.fill('input[name="m046_951"]', '会議中');
  await save(page);
  assert.strictEqual(await value('m046_951'), '会議中');
  await shot(page, 'templates-page20');
  assert.strictEqual(await editor.stop(), 0);
});

test('restriction numbers: "12A" on page 2 is reported and kept as typed', async () => {
  const dir = workFolder();
  const editor = await Editor.start(['restrictions', path.join(dir, 'numbers.zud7')]);
  await page.goto(editor.url);
  await shot(page, 'start-restrictions');
  await page.getByRole('link', { name: '0050～0099' }).click();
  await page.locator('table.grid').waitFor();
  await page.fill('input[name="m018_0050"]', '12A');
  await page.fill('input[name="m018_0051"]', '0312345678');
  assert.strictEqual(await page.locator('input[name="m018_0050"]').getAttribute('class'), 'over');
  page.once('dialog', (d) => d.accept());  // "save anyway?"
  await save(page);
  await editor.waitForMessage('エラー: 【発信規制番号】項番0050 には半角数字で入力してください。');
  assert.strictEqual(await value('m018_0050'), '12A');
  // The finding is on the page too, and the restriction pages find restriction numbers.
  assert.match(await page.locator('#findings').textContent(), /【発信規制番号】項番0050 には半角数字で入力してください。/);
  await page.fill('#find input', '2345');
  await page.locator('#find button').click();
  await page.getByRole('link', { name: '規制 0051' }).waitFor();
  assert.strictEqual(await value('m018_0051'), '0312345678');
  await shot(page, 'restrictions-page2');
  assert.strictEqual(await editor.stop(), 0);
});

test('histories: page through the internal history; the external one shows empty pages', async () => {
  const csv = path.join(__dirname, '..', 'testdata', 'history_internal.csv');
  let editor = await Editor.start(['internal-history', csv]);
  await page.goto(editor.url);
  await shot(page, 'start-internal-history');
  await page.getByRole('link', { name: '0001～0050' }).click();
  await page.locator('table.grid').waitFor();
  assert.strictEqual(await page.locator('#row1 td').nth(5).textContent(), '総務部');
  assert.strictEqual(await page.locator('input').count(), 0);  // read-only
  await shot(page, 'internal-history-page1');
  await Promise.all([page.waitForNavigation(), page.getByRole('link', { name: '次のページ ＞' }).first().click()]);
  await page.locator('table.grid').waitFor();
  assert.match(await page.locator('.bar .current').first().textContent(), /ページ 2 \/ 100/);
  assert.strictEqual(await page.locator('#row51 td').nth(1).textContent(), '2024/05/24');
  await Promise.all([page.waitForNavigation(), page.locator('.bar select').first().selectOption('3')]);
  await page.locator('table.grid').waitFor();
  assert.strictEqual(await page.locator('#row120 td').nth(1).textContent(), '2024/05/09');
  assert.strictEqual(await page.locator('#row121 td').nth(1).textContent(), '');
  await shot(page, 'internal-history-page3');
  assert.strictEqual(await editor.stop(), 0);

  const empty = path.join(workFolder(), 'external.csv');
  fs.writeFileSync(empty, '');
  editor = await Editor.start(['external-history', empty]);
  await page.goto(editor.url + 'hoshu/25gaityaku_01.html?1');
  await page.locator('table.grid').waitFor();
  assert.strictEqual(await page.locator('table.grid tr').count(), 51);
  await shot(page, 'external-history-page1');
  assert.strictEqual(await editor.stop(), 0);
  assert.deepStrictEqual(page.errors, []);
});

test('typed markup comes back in the fields as text and never runs', async () => {
  const dir = workFolder();
  const typed = ['-->', '</script><b>x', '<img src=x onerror=Q9=1>'];
  let editor = await Editor.start(['restrictions', path.join(dir, 'numbers.zud7')]);
  await page.goto(editor.url + 'system/26sysfunc_01.html?1');
  await page.locator('table.grid').waitFor();
  for (let i = 0; i < typed.length; i++) await page.fill(`input[name="m018_000${i}"]`, typed[i]);
  page.once('dialog', (d) => d.accept());  // "save anyway?": they are no numbers
  await save(page);
  for (let i = 0; i < typed.length; i++) assert.strictEqual(await value(`m018_000${i}`), typed[i]);
  // The data script holds them only escaped, and is served as nothing but data.
  const answer = await page.evaluate(async () => {
    const r = await fetch('26sysfunc_01.js?1');
    return { text: await r.text(), type: r.headers.get('content-type'), sniff: r.headers.get('x-content-type-options') };
  });
  assert.strictEqual(answer.type, 'text/javascript');
  assert.strictEqual(answer.sniff, 'nosniff');
  assert.ok(answer.text.includes('"--\\x3E","\\x3C/script\\x3E\\x3Cb\\x3Ex"'), answer.text.slice(0, 200));
  assert.strictEqual(answer.text.indexOf('<', 1), -1);
  assert.strictEqual(answer.text.indexOf('>'), answer.text.length - 1);
  await shot(page, 'restrictions-markup');
  assert.strictEqual(await editor.stop(), 0);

  // A speed-dial name stores no angle brackets (the table keeps them as blanks); the rest of what
  // was typed comes back as text.
  editor = await Editor.start(['phonebook', path.join(dir, 'book.zud8')]);
  await page.goto(editor.url + 'hoshu/16tansyuku_01.html?1');
  await page.locator('table.grid').waitFor();
  const names = ['ab-->', '</script>', '<svg onload=Q9=1>'];
  for (let i = 0; i < names.length; i++) {
    await page.fill(`input[name="m070_000${i}n1"]`, `031111111${i}`);
    await page.fill(`input[name="m070_000${i}n2"]`, names[i]);
    await page.fill(`input[name="m070_000${i}n4"]`, '1');
  }
  await save(page);
  assert.deepStrictEqual([await value('m070_0000n2'), await value('m070_0001n2'), await value('m070_0002n2')],
                         ['ab-- ', ' /script ', ' svg onload=Q9=1 ']);
  assert.strictEqual(await value('m070_0002n1'), '0311111112');
  assert.strictEqual(await editor.stop(), 0);

  assert.strictEqual(await page.evaluate(() => typeof window.Q9), 'undefined');
  assert.strictEqual(await page.locator('img, svg, b').count(), 0);
  assert.deepStrictEqual(page.errors, []);
});

test('a page of another site can neither post to the editor, nor load its data, nor reach it under its own name', async () => {
  const dir = workFolder();
  const editor = await Editor.start(['restrictions', path.join(dir, 'numbers.zud7')]);
  const port = new URL(editor.url).port;
  // Another site: a second local server, so another origin.
  const foreignPage = `<!DOCTYPE html><iframe name="sink"></iframe>
    <form method="post" target="sink" action="${editor.url}system/26sysfunc_01.html">
    <input name="m018_0000" value="0399999999"></form>
    <script src="${editor.url}system/26sysfunc_01.js?1" onload="window.loaded = 'yes'" onerror="window.loaded = 'refused'"></script>`;
  const site = http.createServer((req, res) => res.end(foreignPage));
  await new Promise((resolve) => site.listen(0, '127.0.0.1', resolve));
  try {
    await page.goto(`http://127.0.0.1:${site.address().port}/`);
    await page.waitForFunction(() => window.loaded !== undefined);
    assert.strictEqual(await page.evaluate(() => window.loaded), 'refused');
    assert.strictEqual(await page.evaluate(() => typeof arVals), 'undefined');
    const posted = page.waitForResponse((r) => r.request().method() === 'POST');
    await page.evaluate(() => document.forms[0].submit());
    assert.strictEqual((await posted).status(), 403);
  } finally {
    site.close();
  }
  // A name that is not the server's own, as a name pointed at 127.0.0.1 by somebody else would be.
  const foreign = await page.request.get(`http://127.0.0.1:${port}/system/26sysfunc_01.js?1`,
                                         { headers: { Host: `rebound.example:${port}` } });
  assert.strictEqual(foreign.status(), 403);
  await page.goto(editor.url + 'system/26sysfunc_01.html?1');
  await page.locator('table.grid').waitFor();
  assert.strictEqual(await value('m018_0000'), '');
  assert.strictEqual(await editor.stop(), 0);
});
