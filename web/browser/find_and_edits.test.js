// The find box and what keeps an edit from being lost, in a real browser against `zuctl edit`.
'use strict';

const { test } = require('node:test');
const assert = require('node:assert');
const path = require('node:path');
const { Editor, sharedBrowser, fieldValue, shot, workFolder, save } = require('./harness');

let page;
sharedBrowser((p) => {
  page = p;
});

const value = (name) => fieldValue(page, name);

// Waits until `check()` holds (a dialog is handled while the click that opened it returns).
async function until(check, ms = 5000) {
  const end = Date.now() + ms;
  while (!check()) {
    if (Date.now() > end) throw new Error('condition not met in time');
    await new Promise((r) => setTimeout(r, 50));
  }
}

async function type(name, text) {
  await page.locator(`input[name="${name}"]`).click();
  await page.fill(`input[name="${name}"]`, text);
}

// Types a query into the find box and waits for the hits; their texts, one line per hit.
async function find(query) {
  const answered = page.waitForResponse((r) => r.url().includes('/find.js?'));
  await page.fill('#find input', query);
  await page.locator('#find button').click();
  assert.strictEqual((await answered).status(), 200);
  await page.locator('#findResults > *').first().waitFor();
  return page.locator('#findResults tr').allInnerTexts();
}

test('find: a name, a reading typed in full-width kana, digits inside a number; a hit opens its row marked', async () => {
  const dir = workFolder();
  const editor = await Editor.start(['phonebook', path.join(dir, 'book.zud8')]);
  await page.goto(editor.url + 'hoshu/16tansyuku_01.html?87');
  await page.locator('table.grid').waitFor();
  await type('m070_4321n1', '0312345678');
  await type('m070_4321n2', '山田太郎');
  await type('m070_4321n3', 'ﾔﾏﾀﾞﾀﾛｳ');
  await type('m070_4321n4', '1');
  await type('m070_4330n1', '0698765432');
  await type('m070_4330n2', '山本商店');
  await type('m070_4330n4', '1');
  await save(page);

  await page.goto(editor.url);
  const yamada = /短縮 4321\s+山田太郎\s+ﾔﾏﾀﾞﾀﾛｳ\s+0312345678\s+87/;
  for (const query of ['山田', 'やまだ', 'ヤマダタロウ', '12345', '03-1234-5678']) {
    const hits = await find(query);
    assert.strictEqual(hits.length, 2, `${query}: ${hits}`);  // the head and one hit
    assert.match(hits[1], yamada, query);
  }
  assert.strictEqual((await find('山')).length, 3);
  // Four digits are an entry number too: that entry (empty here) comes first.
  assert.deepStrictEqual((await find('2345')).slice(1).map((t) => t.split('\t')[0] + ' ' + t.split('\t')[1]),
                         ['短縮 2345 （未登録）', '短縮 4321 山田太郎']);
  await shot(page, 'find-start-page');
  assert.match((await find('該当なし')).join(''), /^$/);
  assert.strictEqual(await page.locator('#findResults').textContent(), '見つかりませんでした。');

  await find('山田');
  await Promise.all([page.waitForNavigation(), page.getByRole('link', { name: '短縮 4321' }).click()]);
  await page.locator('tr.found').waitFor();
  assert.ok(page.url().endsWith('/hoshu/16tansyuku_01.html?87#row4321'), page.url());
  assert.strictEqual(await page.locator('tr.found').getAttribute('id'), 'row4321');
  assert.ok(await page.locator('#row4321 input[name="m070_4321n2"]').isVisible());
  const inView = await page.locator('#row4321').evaluate((r) => {
    const b = r.getBoundingClientRect();
    return b.top >= 0 && b.bottom <= window.innerHeight;
  });
  assert.ok(inView);
  await shot(page, 'find-row-marked');

  // From an editor page, a hit on the same page moves the mark.
  assert.match((await find('山本')).join('\n'), /短縮 4330/);
  await page.getByRole('link', { name: '短縮 4330' }).click();
  await page.waitForFunction(() => document.querySelector('tr.found')?.id === 'row4330');
  assert.strictEqual(await editor.stop(), 0);
  assert.deepStrictEqual(page.errors, []);
});

test('never lose an edit: the leave warning after typing and not before, findings of a post on the page, characters Shift_JIS cannot hold', async () => {
  const dir = workFolder();
  const editor = await Editor.start(['phonebook', path.join(dir, 'book.zud8')]);
  const dialogs = [];
  const onDialog = (d) => { dialogs.push(d.type()); d.dismiss().catch(() => {}); };
  page.on('dialog', onDialog);
  try {
    await page.goto(editor.url + 'hoshu/16tansyuku_01.html?1');
    await page.locator('table.grid').waitFor();
    // Nothing typed: reload and the page's own links leave without a question.
    await page.locator('input[name="m070_0000n1"]').click();
    await page.reload();
    await page.locator('table.grid').waitFor();
    await Promise.all([page.waitForNavigation(), page.getByRole('link', { name: '次のページ ＞' }).first().click()]);
    await page.locator('table.grid').waitFor();
    assert.deepStrictEqual(dialogs, []);

    // Typed: the own links ask (and stay when refused), reload and closing ask through beforeunload.
    await type('m070_0050n1', '0311112222');
    await page.getByRole('link', { name: 'メニューへ戻る' }).first().click();
    await page.getByRole('link', { name: '＜ 前のページ' }).first().click();
    await until(() => dialogs.length === 2);
    assert.deepStrictEqual(dialogs, ['confirm', 'confirm']);
    const unload = page.waitForEvent('dialog');
    await page.evaluate(() => setTimeout(() => location.reload(), 0));
    assert.strictEqual((await unload).type(), 'beforeunload');
    await page.waitForTimeout(300);
    assert.ok(page.url().endsWith('16tansyuku_01.html?2'));
    assert.strictEqual(await value('m070_0050n1'), '0311112222');
    const closing = page.waitForEvent('dialog');
    await page.close({ runBeforeUnload: true });
    assert.strictEqual((await closing).type(), 'beforeunload');
    assert.strictEqual(page.isClosed(), false);

    // A post with a duplicate: saved, no question on leaving, and the finding is on the page.
    await type('m070_0050n4', '1');
    await type('m070_0051n1', '0311112222');
    await type('m070_0051n4', '1');
    dialogs.length = 0;
    await save(page);
    assert.strictEqual(await page.locator('#saved').textContent(), '保存しました。');
    assert.match(await page.locator('#findings').textContent(),
                 /短縮番号0050番と0051番が重複して登録されています。このままファイルの保存やダウンロードも可能ですが確認してください。/);
    await shot(page, 'post-findings-on-page');
    await page.reload();
    await page.locator('table.grid').waitFor();
    assert.deepStrictEqual(dialogs, []);
    assert.strictEqual(await page.locator('#findings').count(), 0);  // shown with the post's answer only

    // A character Shift_JIS cannot hold marks its field and holds the post back until it is gone.
    const posts = [];
    page.on('request', (r) => { if (r.method() === 'POST') posts.push(r.url()); });
    await type('m070_0052n2', '森鷗外');
    const field = page.locator('input[name="m070_0052n2"]');
    assert.strictEqual(await field.getAttribute('class'), 'over');
    assert.match(await field.getAttribute('title'), /Shift_JIS で扱えない文字があります：鷗/);
    await page.locator('button.save').first().click();
    assert.match(await page.locator('#held').textContent(), /扱えない文字を含む項目が 1 件あります/);
    await shot(page, 'unsendable-held-back');
    assert.deepStrictEqual(posts, []);
    await type('m070_0052n2', '森鴎外①');  // both in Shift_JIS
    assert.strictEqual(await field.getAttribute('class'), '');
    await type('m070_0052n1', '0355556666');
    await type('m070_0052n4', '1');
    await save(page);
    assert.strictEqual(posts.length, 1);
    assert.strictEqual(await value('m070_0052n2'), '森鴎外①');
    assert.strictEqual(await page.locator('#held').count(), 0);
  } finally {
    page.off('dialog', onDialog);
  }
  assert.strictEqual(await editor.stop(), 0);
  assert.deepStrictEqual(page.errors, []);
});
