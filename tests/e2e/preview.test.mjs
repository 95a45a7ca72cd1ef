// Kelo end to end: kelo-preview loads the built module as a DAW does; the test types and clicks
// through the X server (xdotool), drives the transport by the preview's keys, reads the page over
// the stand-in's opt-in DevTools port and the processor's state from the project file saved.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, spawnSync, execFileSync } from 'node:child_process';
import { mkdtempSync, mkdirSync, writeFileSync, readFileSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import path from 'node:path';

const { chromium } = createRequire(import.meta.url)('playwright-core');
const kPreview = process.env.KELO_PREVIEW;
const kPort = 9300 + (process.pid % 500);

// 20 BPM: a beat lasts 3 s, so a reading taken right after a jump sees the bar it jumped to.
const kScript = '[2] Lanterns low [3] over the bay\n[timer|5]\n[5] Home again [6]';
// A state document as the processor writes it: every key, sorted (`more` only replaces values).
const kSettings = { autoFill: true, barsPerLine: 2, displayMode: 0, language: 0, nextLine: true };
const initialState = (script = kScript, more = {}) =>
  JSON.stringify({ ...kSettings, script, timerTicks: 4, timerUnit: 2, version: 2, ...more });

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
async function until(probe, what, timeoutMs = 20000) {
  for (const end = Date.now() + timeoutMs; ; await sleep(100)) {
    const value = await probe().catch(() => undefined);
    if (value) return value;
    if (Date.now() > end) throw new Error('timed out waiting for ' + what);
  }
}
const xdotool = (...args) => execFileSync('xdotool', args.map(String));

// The preview with a project file; keys go to its standard input, its lines are kept.
class Preview {
  constructor() {
    this.folder = mkdtempSync(path.join(tmpdir(), 'kelo-e2e-'));
    this.stateFile = path.join(this.folder, 'song.kelo');
    writeFileSync(this.stateFile, initialState());
    this.process = spawn(kPreview, ['--state', this.stateFile, '--tempo', '20'], {
      env: { ...process.env, KELO_STANDIN_DEVTOOLS_PORT: String(kPort), XDG_CONFIG_HOME: this.folder },
      stdio: ['pipe', 'pipe', 'inherit'],
    });
    this.output = '';
    this.process.stdout.on('data', (chunk) => (this.output += chunk));
    this.exited = new Promise((resolve) => this.process.on('exit', resolve));
  }

  keys = (text) => this.process.stdin.write(text);

  // The preview's next status line as an object of its `key=value` pairs.
  async status() {
    const seen = this.output.length;
    this.keys('s');
    const line = await until(async () => /^status (.*)\n/m.exec(this.output.slice(seen))?.[1], 'a status line');
    return Object.fromEntries(line.split(' ').map((pair) => pair.split('=')));
  }

  // The editor's page inside the module's browser, once it has polled the host.
  async page() {
    await this.browser?.close().catch(() => {});
    this.browser = await until(() => chromium.connectOverCDP('http://127.0.0.1:' + kPort), 'the DevTools port');
    return until(async () => {
      const pages = this.browser.contexts().flatMap((c) => c.pages());
      const page = pages.find((p) => p.url().startsWith('https://kelo.invalid'));
      const ready = () => typeof transport === 'object' && document.getElementById('script').value !== '';
      return page && (await page.evaluate(ready)) && page;
    }, 'the editor page');
  }

  async quit() {
    await this.browser?.close().catch(() => {});
    this.keys('q');
    return this.exited;
  }
}

// `offset`: where page coordinates are on the X screen, found with a real pointer move.
let preview, page, offset;

async function calibrate() {
  await page.evaluate(() => addEventListener('mousemove', (e) => (window.__pointer = { x: e.clientX, y: e.clientY })));
  // Moved again until the page sees it: the browser's window may still be on its way into the frame.
  let x = 600;
  const seen = await until(async () => {
    x = x === 600 ? 610 : 600;
    xdotool('mousemove', x, 500);
    await sleep(100);
    return page.evaluate(() => window.__pointer);
  }, 'a pointer event');
  offset = { x: x - seen.x, y: 500 - seen.y };
}

async function click(selector) {
  const box = await page.$eval(selector, (e) => e.getBoundingClientRect().toJSON());
  const [x, y] = [box.x + box.width / 2 + offset.x, box.y + box.height / 2 + offset.y].map(Math.round);
  xdotool('mousemove', x, y, 'click', 1);
}

const value = (selector) => page.$eval(selector, (e) => e.value ?? e.textContent);
const display = () =>
  page.evaluate(() => {
    const text = document.getElementById('play-text');
    const spans = [...text.querySelectorAll('span')];
    return {
      className: text.className,
      text: text.textContent,
      panel: document.getElementById('play-panel').className,
      spans: spans.length,
      filled: spans.filter((s) => s.style.backgroundImage.includes('225) 100%')).length,
      ppq: transport.ppq,
      playing: !document.getElementById('play-view').hidden,
    };
  });

before(async () => {
  assert.ok(kPreview, 'KELO_PREVIEW names the kelo-preview program');
  preview = new Preview();
  page = await preview.page();
  await calibrate();
});
after(async () => {
  const code = await preview?.quit();
  rmSync(preview.folder, { recursive: true, force: true });
  assert.equal(code, 0);
});

describe('kelo-preview with the built module', () => {
  it('opens the editor with the host state drawn by the first poll', async () => {
    assert.deepEqual(
      [await value('#script'), await value('#display-mode .setting-text')],
      [kScript, 'Mode: Scrolling'],
    );
  });

  it('sends typed lyrics and clicked settings to the processor', async () => {
    const typed = '[1] Salt on the rope [2] and a wind from the north\n[timer|4]\n[4] Sing it [5]';
    await click('#script');
    xdotool('key', 'ctrl+a', 'BackSpace');
    xdotool('type', '--delay', 2, typed);
    await click('#auto-fill');
    await click('#display-mode');
    await until(async () => (await value('#script')) === typed, 'the typed lyrics');
    preview.keys('w');
    const expected = initialState(typed, { autoFill: false, displayMode: 1 });
    const saved = () => JSON.stringify(JSON.parse(readFileSync(preview.stateFile, 'utf8')));
    await until(async () => saved() === expected, 'the processor state holding the typed document');
    const status = await preview.status();
    assert.ok(Number(status.dirty) > 0 && status.lastdirty === 'true', 'setDirty(true) reached the host');
  });

  it('shows a reloaded project on the open page', async () => {
    writeFileSync(preview.stateFile, initialState());
    preview.keys('r');
    await until(async () => (await value('#script')) === kScript, 'the reloaded lyrics');
    assert.equal(await value('#auto-fill .setting-text'), 'Auto-fill: On');
  });

  // Bar, then what the playback display shows; the same rows in both display modes.
  const rows = [
    { bar: 2, className: 'lyrics', text: 'Lanterns low', moving: true },
    { bar: 4, className: 'countdown', text: '4' },
    { bar: 1, className: 'message', text: '' },
    { bar: 7, className: 'message', text: 'End of lyrics' },
  ];
  for (const mode of ['scrolling', 'static']) {
    it(`plays the song in the ${mode} display`, async () => {
      if (mode === 'static') preview.keys('d');
      preview.keys(' ');
      for (const row of rows) {
        preview.keys(row.bar + 'g');
        const shown = await until(async () => {
          const d = await display();
          return d.playing && d.className === row.className && d.text === row.text && d;
        }, `bar ${row.bar} in the ${mode} display`);
        assert.equal(shown.panel, row.moving && mode === 'scrolling' ? 'scrolling' : 'static');
      }
      // The phrase fills in step with the position.
      preview.keys('2g');
      await sleep(2500);
      const fill = await display();
      const expected = Math.floor(((fill.ppq - 4) / 4) * fill.spans);
      assert.ok(fill.filled > 0 && Math.abs(fill.filled - expected) <= 1, `filled ${fill.filled} of ${expected}`);
      preview.keys('n');
      const message = 'DAW does not provide a musical position';
      await until(async () => (await display()).text === message, 'the no-position message');
      preview.keys('n ');
      await until(async () => !(await display()).playing, 'the editor after stopping');
    });
  }

  const closedWithoutBrowser = () =>
    until(async () => {
      const s = await preview.status();
      return s.editor === 'closed' && s.browsers === '0' && s;
    }, 'the editor closed with its browser gone');

  it('stops polling when the editor closes, starts again when it reopens, and audio passes unchanged', async () => {
    const before = await preview.status();
    preview.keys('e');
    const closed = await closedWithoutBrowser();
    await sleep(500);
    assert.equal((await preview.status()).polls, closed.polls, 'a closed editor keeps polling');
    preview.keys('e');
    page = await preview.page();
    const after = await preview.status();
    assert.ok(Number(after.polls) > Number(closed.polls));
    assert.ok(Number(after.blocks) > Number(before.blocks) + 50, 'the audio thread kept running');
    assert.deepEqual([after.changed, after.failed], ['0', '0']);
  });

  it('leaves no browser behind when the editor closes while its browser starts, and reopens', async () => {
    preview.keys('e');
    await closedWithoutBrowser();
    for (const delayMs of [0, 150, 600]) {
      preview.keys('e');
      await sleep(delayMs);
      preview.keys('e');
      await closedWithoutBrowser();
    }
    preview.keys('e');
    page = await preview.page();
  });
});

describe('kelo-preview --state with a file that is no Kelo project', () => {
  const folder = mkdtempSync(path.join(tmpdir(), 'kelo-e2e-state-'));
  after(() => rmSync(folder, { recursive: true, force: true }));
  for (const [name, content, line] of [
    ['text', 'lyrics, not a state', /: not a Kelo project state$/],
    ['json', '{"script":5}', /: not a Kelo project state$/],
    ['folder', null, /: cannot be read/],
  ]) {
    it(`stops with one line and leaves the ${name} untouched`, () => {
      const file = path.join(folder, name);
      if (content === null) mkdirSync(file);
      else writeFileSync(file, content);
      const run = spawnSync(kPreview, ['--state', file], { encoding: 'utf8', timeout: 30000 });
      assert.deepEqual([run.status, run.stderr.trim().split('\n').length], [1, 1]);
      assert.match(run.stderr.trim(), line);
      if (content !== null) assert.equal(readFileSync(file, 'utf8'), content);
    });
  }
});
