// What the browser tests share: the editor started through `zuctl edit`, headless Chromium with
// a fresh profile, screenshots into the test output folder.
//
// Environment: ZUCTL (the zuctl program), ZU_SCREENSHOTS (folder for the pictures),
// CHROMIUM (default /usr/bin/chromium).
'use strict';

const { spawn } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { chromium } = require('playwright-core');

const zuctl = process.env.ZUCTL;
const screenshots = process.env.ZU_SCREENSHOTS || path.join(os.tmpdir(), 'zu-screenshots');
fs.mkdirSync(screenshots, { recursive: true });

// Editors still running; a failed test leaves its editor behind, and killAll() ends them so that
// the test run itself can end.
const running = new Set();

// A running `zuctl edit`: its URL, everything it printed to stderr, and its end.
class Editor {
  static async start(args) {
    const e = new Editor();
    e.proc = spawn(zuctl, ['edit', ...args, '--no-browser', '--port', '0'], { stdio: ['pipe', 'pipe', 'pipe'] });
    running.add(e.proc);
    e.stderr = '';
    e.proc.stderr.on('data', (d) => { e.stderr += d.toString('utf8'); });
    e.exited = new Promise((resolve) => e.proc.on('exit', (code) => { running.delete(e.proc); resolve(code); }));
    e.url = await new Promise((resolve, reject) => {
      let out = '';
      e.proc.stdout.on('data', (d) => {
        out += d.toString('utf8');
        const nl = out.indexOf('\n');
        if (nl >= 0) resolve(out.slice(0, nl));
      });
      e.exited.then((code) => reject(new Error(`zuctl edit ended (${code}) before it served: ${e.stderr}`)));
    });
    return e;
  }

  // Waits until stderr holds `text`.
  async waitForMessage(text, ms = 15000) {
    const end = Date.now() + ms;
    while (Date.now() < end) {
      if (this.stderr.includes(text)) return true;
      await new Promise((r) => setTimeout(r, 100));
    }
    throw new Error(`no message "${text}" in: ${this.stderr}`);
  }

  // Ends the editor as a person would (a line on standard input); its exit status.
  async stop() {
    this.proc.stdin.write('\n');
    return this.exited;
  }

  static killAll() {
    for (const proc of running) proc.kill('SIGKILL');
    running.clear();
  }
}

async function launchBrowser() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'zu-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    viewport: { width: 1280, height: 900 },
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
           '--disable-sync', '--no-first-run'],
  });
  const page = context.pages()[0] || (await context.newPage());
  page.errors = [];
  page.on('pageerror', (err) => page.errors.push(err.message));
  return {
    page,
    async close() {
      await context.close();
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

async function shot(page, name) {
  await page.screenshot({ path: path.join(screenshots, `${name}.png`), fullPage: false });
}

// Fresh folders for the files of the tests, removed by removeWorkFolders() when the run ends.
const workFolders = [];

function workFolder() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'zu-edit-'));
  workFolders.push(dir);
  return dir;
}

function removeWorkFolders() {
  for (const dir of workFolders.splice(0)) fs.rmSync(dir, { recursive: true, force: true });
}

// Submits the page's form and waits for the reloaded page to be built again.
async function save(page) {
  await Promise.all([
    page.waitForNavigation({ waitUntil: 'load', timeout: 30000 }),
    page.locator('button.save').first().click(),
  ]);
  await page.locator('table.grid').waitFor({ timeout: 15000 });
}

// The browser a test file shares: launched before its first test, its page handed to
// `usePage`; after the last test every editor still running is ended, the browser closed and
// the work folders removed.
function sharedBrowser(usePage) {
  const { before, after } = require('node:test');
  let browser;
  before(async () => {
    browser = await launchBrowser();
    usePage(browser.page);
  });
  after(async () => {
    Editor.killAll();
    await browser.close();
    removeWorkFolders();
  });
}

// The value of the page's input field named `name`.
function fieldValue(page, name) {
  return page.locator(`input[name="${name}"]`).inputValue();
}

module.exports = { Editor, launchBrowser, sharedBrowser, fieldValue, shot, workFolder, removeWorkFolders, save };
