// Pictures of the editor for the README: the phonebook start page and a speed-dial page of the
// files given, served by `zuctl edit` and shown in headless Chromium. Run by
// scripts/screenshots.sh; not a test.
//
// usage: ZUCTL=... ZU_SCREENSHOTS=DIR node readme_screenshots.js FILE...
'use strict';

const { Editor, launchBrowser, shot } = require('./harness');

async function main() {
  const files = process.argv.slice(2);
  const browser = await launchBrowser();
  const editor = await Editor.start(['phonebook', ...files]);
  try {
    const page = browser.page;
    await page.setViewportSize({ width: 1100, height: 760 });
    await page.goto(editor.url);
    await shot(page, 'editor-start');
    await page.goto(editor.url + 'hoshu/16tansyuku_01.html?1');
    await page.locator('table.grid').waitFor();
    await shot(page, 'editor-speed-dial');
    if (page.errors.length) throw new Error(`page errors: ${page.errors.join('; ')}`);
  } finally {
    await editor.stop();
    await browser.close();
  }
}

main().catch((err) => {
  console.error(err);
  Editor.killAll();
  process.exit(1);
});
