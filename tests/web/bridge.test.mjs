// The page's bridge to the plug-in's native functions: polling, adopting host states,
// coalesced writes and the page on its own without the plug-in.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { launchBrowser, openPage, waitForPolls } from './support/browser.mjs';
import { feedHostState, feedTransport } from './support/native.mjs';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

const kHostScript = '[1] Hello [2]';

async function withPage(options, body) {
  const session = await openPage(browser, options);
  try {
    await body(session);
  } finally {
    await session.close();
  }
}

const native = (page) => page.evaluate(() => ({
  reads: window.__native.reads.slice(),
  writes: window.__native.writes.slice(),
  maxReadsInFlight: window.__native.maxReadsInFlight,
  heldWrites: window.__native.heldWrites.length,
}));

async function typeAtEnd(page, text) {
  await page.focus('#script');
  await page.keyboard.press('Control+End');
  await page.keyboard.type(text);
}

const errorsMentioning = (lines, text) => lines.filter((l) => l.type === 'error' && l.text.includes(text));

describe('polling', () => {
  it('starts with revision -1, adopts the host state and then asks with the adopted revision', async () => {
    await withPage({ native: { state: { script: kHostScript, timerTicks: 7 }, revision: 5 } }, async ({ page }) => {
      await waitForPolls(page, 3);
      const { reads, maxReadsInFlight } = await native(page);
      assert.equal(reads[0], -1);
      assert.ok(reads.slice(1).every((r) => r === 5), 'later reads pass the adopted revision: ' + reads);
      assert.equal(maxReadsInFlight, 1);
      assert.equal(await page.inputValue('#script'), kHostScript);
      assert.equal(await page.inputValue('#ticks'), '7');
      assert.deepEqual(await page.evaluate(() => cues.map((c) => c.text)), ['Hello']);
    });
  });

  it('ignores a state that comes with the revision it already holds, but still takes the transport', async () => {
    await withPage({ native: { state: { script: kHostScript } } }, async ({ page }) => {
      await page.evaluate(() => { window.__native.state.script = '[1] Changed [2]'; });
      await feedTransport(page, { playing: true, ppq: 1 });
      assert.equal(await page.inputValue('#script'), kHostScript);
      assert.equal(await page.isVisible('#play-view'), true);
      assert.equal(await page.isVisible('#edit-view'), false);
      assert.equal(await page.textContent('#play-text'), 'Hello');
    });
  });

  it('runs one polling chain even when told to start twice', async () => {
    await withPage({ native: { readDelayMs: 15 } }, async ({ page }) => {
      await page.evaluate(() => bridge.emitEvent('keloReady', {}));
      await waitForPolls(page, 6);
      assert.equal((await native(page)).maxReadsInFlight, 1);
    });
  });

  it('logs a refused read and keeps polling', async ({ signal }) => {
    await withPage({ native: {} }, async ({ page, consoleLines }) => {
      await page.evaluate(() => { window.__native.readMode = 'reject'; });
      await waitForPolls(page, 3);
      await page.evaluate(() => { window.__native.readMode = 'resolve'; });
      await waitForPolls(page, 2);
      assert.ok(errorsMentioning(consoleLines, 'Kelo native bridge failed').length >= 2);
    });
  });

  it('takes over a state the host replaced, such as a loaded project', async () => {
    await withPage({ native: { state: { script: kHostScript } } }, async ({ page }) => {
      await feedHostState(page, { script: '[2] Loaded [3]', language: 1, version: 2 });
      assert.equal(await page.inputValue('#script'), '[2] Loaded [3]');
      assert.equal(await page.textContent('#language .setting-text'), 'Langue: French');
      assert.equal(await page.textContent('#mode-badge'), 'EDIT');
      assert.equal(await page.isVisible('#mode-badge'), true);
    });
  });
});

describe('writing edits', () => {
  it('sends every edit with the fields the page does not use itself', async () => {
    await withPage({ native: { state: { script: kHostScript, barsPerLine: 4, version: 2 } } }, async ({ page }) => {
      await typeAtEnd(page, ' x');
      await waitForPolls(page, 1);
      const { writes } = await native(page);
      assert.equal(writes.length, 2);
      assert.equal(writes[1].script, kHostScript + ' x');
      assert.equal(writes[1].version, 2);
      assert.equal(writes[1].barsPerLine, 4);
    });
  });

  it('coalesces edits made while a write is under way into one write of the newest state', async () => {
    await withPage({ native: { state: { script: '' } } }, async ({ page }) => {
      await page.evaluate(() => { window.__native.writeMode = 'hold'; });
      await typeAtEnd(page, 'a');
      await typeAtEnd(page, 'b');
      await typeAtEnd(page, 'c');
      await typeAtEnd(page, 'd');
      assert.equal((await native(page)).writes.length, 1);
      await page.evaluate(() => { window.__native.writeMode = 'resolve'; window.__native.releaseWrite(true); });
      await waitForPolls(page, 2);
      const { writes } = await native(page);
      assert.deepEqual(writes.map((w) => w.script), ['a', 'abcd']);
    });
  });

  it('does not let a host state overwrite edits still on their way, and adopts it afterwards', async () => {
    await withPage({ native: { state: { script: '' }, revision: 3 } }, async ({ page }) => {
      await page.evaluate(() => { window.__native.writeMode = 'hold'; });
      await typeAtEnd(page, 'mine');
      await feedHostState(page, { script: '[1] Host [2]' });
      assert.equal(await page.inputValue('#script'), 'mine');
      const before = await native(page);
      assert.equal(before.reads.at(-1), 3, 'the bridge keeps its old revision while writing');
      await page.evaluate(() => { window.__native.releaseWrite(true); });
      await page.evaluate(() => { window.__native.releaseWrite(true); });
      await waitForPolls(page, 2);
      assert.equal(await page.inputValue('#script'), '[1] Host [2]');
      assert.equal((await native(page)).reads.at(-1), 4);
    });
  });

  it('logs a write the host refuses and does not retry it', async () => {
    await withPage({ native: {} }, async ({ page, consoleLines }) => {
      await page.evaluate(() => { window.__native.writeMode = 'false'; });
      await typeAtEnd(page, 'z');
      await waitForPolls(page, 4);
      assert.equal((await native(page)).writes.length, 1);
      const failures = errorsMentioning(consoleLines, 'Kelo state save failed');
      assert.equal(failures.length, 1);
      assert.match(failures[0].text, /Host rejected state update/);
    });
  });

  it('after a failed write, sends the state queued meanwhile together with the next change', async () => {
    await withPage({ native: {} }, async ({ page, consoleLines }) => {
      await page.evaluate(() => { window.__native.writeMode = 'hold'; });
      await typeAtEnd(page, 'a');
      await typeAtEnd(page, 'b');
      await page.evaluate(() => { window.__native.writeMode = 'resolve'; window.__native.releaseWrite('reject'); });
      await waitForPolls(page, 3);
      assert.equal((await native(page)).writes.length, 1, 'the queued state waits for the next change');
      assert.equal(errorsMentioning(consoleLines, 'Kelo state save failed').length, 1);
      await typeAtEnd(page, 'c');
      await waitForPolls(page, 1);
      assert.deepEqual((await native(page)).writes.map((w) => w.script), ['a', 'abc']);
    });
  });
});

describe('without the plug-in', () => {
  for (const [label, options] of [['no native functions', undefined], ['a read but no write function', { write: false }]]) {
    it('runs the demonstration with ' + label, async () => {
      await withPage({ native: options }, async ({ page }) => {
        const script = await page.inputValue('#script');
        const lines = script.split('\n');
        assert.equal(lines.length, 11);
        assert.match(lines[0], /^\[30\] /);
        assert.match(lines[4], /^\[34\] /);
        assert.equal(lines[10], '[timer|40]');
        assert.equal(await page.inputValue('#ticks'), '4');
        assert.equal(await page.evaluate(() => typeof bridge), 'undefined');
        assert.deepEqual(await page.evaluate(() => cues.map((c) => [c.start, c.end, c.countdown])),
          [[116, 132, false], [132, 152, false], [152, 156, true]]);
        await page.waitForTimeout(150);
        if (options) assert.deepEqual((await native(page)).reads, [], 'nothing is polled');
        // Edits still work locally.
        await page.click('#language');
        assert.equal(await page.textContent('#language .setting-text'), 'Langue: French');
      });
    });
  }
});

describe('brand link', () => {
  it('asks the plug-in to open the maker\'s page instead of following the link', async () => {
    await withPage({ native: { brand: true } }, async ({ page, context, consoleLines }) => {
      let popups = 0;
      context.on('page', () => { popups += 1; });
      await page.click('#brand-link');
      await page.evaluate(() => { window.__native.brandResult = false; });
      await page.click('#brand-link');
      await page.evaluate(() => { window.__native.brandResult = 'reject'; });
      await page.click('#brand-link');
      await page.waitForTimeout(100);
      assert.equal(await page.evaluate(() => window.__native.brandCalls), 3);
      assert.equal(popups, 0);
      assert.equal(errorsMentioning(consoleLines, 'Could not open Velmora website in the default browser').length, 1);
      const rejected = consoleLines.filter((l) => l.type === 'error' && /^Could not open Velmora website (?!in)/.test(l.text));
      assert.equal(rejected.length, 1);
    });
  });

  it('follows the link in a new window without the native function', async () => {
    await withPage({ native: {} }, async ({ page, context }) => {
      await context.route('https://velmora.example/**', (route) => route.fulfill({ status: 200, body: 'maker' }));
      const [popup] = await Promise.all([context.waitForEvent('page'), page.click('#brand-link')]);
      await popup.waitForLoadState();
      assert.equal(popup.url(), 'https://velmora.example/');
    });
  });
});
