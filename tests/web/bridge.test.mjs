// The page's bridge to the plug-in's native functions: polling, adopting host states, coalesced
// writes that never lose an edit silently, and the page on its own without the plug-in.
import { describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { errorsMentioning, nativeLog, releaseWrite, script, setNative, testBrowser } from './support/browser.mjs';
import { typeAtEnd, waitForPolls } from './support/browser.mjs';
import { feedHostState, feedTransport } from './support/native.mjs';

const { withPage } = await testBrowser();
const kHostScript = '[1] Hello [2]';
const writes = async (page) => (await nativeLog(page)).writes;
// Lets the held write settle with `result` and later ones through, and waits for two polls.
async function release(page, result) {
  await setNative(page, { writeMode: 'resolve' });
  await releaseWrite(page, result);
  await waitForPolls(page, 2);
}
// The restore offer's button text while the notice shows, else false.
const notice = (page) =>
  page.$eval('#unsaved-notice', (n) => !n.hidden && n.querySelector('#unsaved-restore').textContent);
// The page with a short call time-out, so that a lost answer shows within the test.
const kQuickPage = readFileSync(new URL('../../web/app.js', import.meta.url), 'utf8').replace(
  /(kCallTimeoutMs =) 10000;/,
  '$1 150;',
);

describe('polling', () => {
  it('starts with revision -1, adopts the host state, then asks with its revision, one read at a time even when started twice', async () => {
    const native = { state: { script: kHostScript, timerTicks: 7 }, revision: 5, readDelayMs: 15 };
    await withPage({ native }, async ({ page }) => {
      await page.evaluate(() => bridge.emitEvent('keloReady', {}));
      await waitForPolls(page, 6);
      const { reads, maxReadsInFlight } = await nativeLog(page);
      assert.deepEqual([reads[0], new Set(reads.slice(1)), maxReadsInFlight], [-1, new Set([5]), 1]);
      assert.deepEqual([await script(page), await page.inputValue('#ticks')], [kHostScript, '7']);
      assert.deepEqual(await page.evaluate(() => cues.map((c) => c.text)), ['Hello']);
    });
  });

  it('ignores a state with the revision it holds but takes the transport; adopts a replaced one; survives refused reads', async () => {
    await withPage({ native: { state: { script: kHostScript } } }, async ({ page, consoleLines }) => {
      await page.evaluate(() => (window.__native.state.script = '[1] Changed [2]'));
      await feedTransport(page, { playing: true, ppq: 1 });
      assert.equal(await script(page), kHostScript);
      const shown = ['#play-view', '#edit-view', '#mode-badge'].map((selector) => page.isVisible(selector));
      assert.deepEqual(await Promise.all(shown), [true, false, true]);
      assert.deepEqual(
        [await page.textContent('#mode-badge'), await page.textContent('#play-text')],
        ['PLAY', 'Hello'],
      );
      await feedTransport(page, { playing: false });
      await setNative(page, { readMode: 'reject' });
      await waitForPolls(page, 3);
      await setNative(page, { readMode: 'resolve' });
      assert.ok(errorsMentioning(consoleLines, 'Kelo native bridge failed').length >= 2);
      await feedHostState(page, { script: '[2] Loaded [3]', language: 1, version: 2 });
      assert.equal(await script(page), '[2] Loaded [3]');
      assert.equal(await page.textContent('#language .setting-text'), 'Langue: French');
      assert.deepEqual([await page.isVisible('#mode-badge'), await page.textContent('#mode-badge')], [true, 'EDIT']);
    });
  });
});

describe('writing edits', () => {
  it('sends every edit with the fields the page does not use, lone surrogates made readable', async () => {
    await withPage({ native: { state: { script: kHostScript, barsPerLine: 4, version: 2 } } }, async ({ page }) => {
      await typeAtEnd(page, ' x');
      await page.$eval('#script', (input) => {
        input.value += '\ud800b\udc00';
        input.dispatchEvent(new Event('input'));
      });
      await waitForPolls(page, 1);
      const sent = await page.evaluate(() => window.__native.writes.map((w) => [w.script, w.version, w.barsPerLine]));
      const expected = [' ', ' x', ' x\ufffdb\ufffd'].map((tail) => [kHostScript + tail, 2, 4]);
      assert.deepEqual(sent, expected);
    });
  });

  it('coalesces edits made while a write is under way into one write of the newest state', async () => {
    await withPage({ native: {} }, async ({ page }) => {
      await setNative(page, { writeMode: 'hold' });
      for (const key of 'abcd') await typeAtEnd(page, key);
      assert.equal((await writes(page)).length, 1);
      await release(page);
      assert.deepEqual(await writes(page), ['a', 'abcd']);
    });
  });

  it('keeps edits on their way over a host state, then adopts it and offers the refused edit back', async () => {
    await withPage({ native: { revision: 3 } }, async ({ page }) => {
      await setNative(page, { writeMode: 'hold' });
      await typeAtEnd(page, 'mine');
      await feedHostState(page, { script: '[1] Host [2]' });
      assert.deepEqual([await script(page), await writes(page)], ['mine', ['m']]);
      assert.equal((await nativeLog(page)).reads.at(-1), 3, 'the bridge keeps its old revision while writing');
      await release(page);
      const log = await nativeLog(page);
      assert.deepEqual([log.writes, log.script, log.reads.at(-1)], [['m'], '[1] Host [2]', 4]);
      assert.equal(await script(page), '[1] Host [2]');
      assert.equal(await notice(page), 'Restore my edit');
      await typeAtEnd(page, '!'); // a later edit of the host's document keeps the offer open
      await waitForPolls(page, 1);
      assert.equal(await notice(page), 'Restore my edit');
      await page.click('#unsaved-restore');
      await waitForPolls(page, 2);
      assert.deepEqual(
        [await script(page), (await nativeLog(page)).script, await notice(page)],
        ['mine', 'mine', false],
      );
    });
  });

  it('logs a write the host refuses and does not retry it; after a failed write, sends the queued state with the next change', async () => {
    await withPage({ native: {} }, async ({ page, consoleLines }) => {
      const failures = () => errorsMentioning(consoleLines, 'Kelo state save failed').map((f) => f.text);
      await setNative(page, { writeMode: 'false' });
      await typeAtEnd(page, 'z');
      await waitForPolls(page, 4);
      assert.equal((await writes(page)).length, 1);
      assert.match(failures().join('|'), /^[^|]*Host rejected state update[^|]*$/);
      await setNative(page, { writeMode: 'hold' });
      await typeAtEnd(page, 'a');
      await typeAtEnd(page, 'b');
      await release(page, 'reject');
      assert.deepEqual(
        [await writes(page), failures().length],
        [['z', 'za'], 2],
        'the queued state waits for a change',
      );
      await typeAtEnd(page, 'c');
      await waitForPolls(page, 1);
      assert.deepEqual(await writes(page), ['z', 'za', 'zabc']);
    });
  });

  it('retries the newest edit of a write that never settles, then tells the user', async () => {
    await withPage({ native: {}, overrides: { KELO_APP_JS: kQuickPage } }, async ({ page }) => {
      await setNative(page, { writeMode: 'never' });
      await typeAtEnd(page, 'ab');
      await page.waitForFunction(() => !document.getElementById('unsaved-notice').hidden);
      assert.deepEqual([await writes(page), await notice(page)], [['a', 'ab', 'ab'], 'Save again']);
      await setNative(page, { writeMode: 'resolve' });
      await page.click('#unsaved-restore');
      await waitForPolls(page, 2);
      const log = await nativeLog(page);
      assert.deepEqual([log.writes.slice(3), log.script, await notice(page)], [['ab'], 'ab', false]);
    });
  });
});

for (const [label, options] of [
  ['no native functions', undefined],
  ['a read but no write function', { write: false }],
]) {
  it('runs the demonstration with ' + label, async () => {
    await withPage({ native: options }, async ({ page }) => {
      const lines = (await script(page)).split('\n');
      const starts = [lines.length, lines[0].slice(0, 5), lines[4].slice(0, 5), lines[10]];
      assert.deepEqual(starts, [11, '[30] ', '[34] ', '[timer|40]']);
      assert.equal(await page.inputValue('#ticks'), '4');
      assert.equal(await page.evaluate(() => typeof bridge), 'undefined');
      const cues = [[116, 132, false], [132, 152, false], [152, 156, true]]; // prettier-ignore
      assert.deepEqual(await page.evaluate(() => cues.map((c) => [c.start, c.end, c.countdown])), cues);
      await page.waitForTimeout(150);
      if (options) assert.deepEqual((await nativeLog(page)).reads, [], 'nothing is polled');
      await page.click('#language'); // edits still work locally
      assert.equal(await page.textContent('#language .setting-text'), 'Langue: French');
    });
  });
}

describe('brand link', () => {
  it("asks the plug-in to open the maker's page instead of following the link", async () => {
    await withPage({ native: { brand: true } }, async ({ page, context, consoleLines }) => {
      let popups = 0;
      context.on('page', () => (popups += 1));
      for (const brandResult of [true, false, 'reject']) {
        await setNative(page, { brandResult });
        await page.click('#brand-link');
      }
      await page.waitForTimeout(100);
      assert.deepEqual([await page.evaluate(() => window.__native.brandCalls), popups], [3, 0]);
      const failures = errorsMentioning(consoleLines, 'Could not open Velmora website');
      assert.deepEqual(failures.map((l) => l.text.includes('in the default browser')).sort(), [false, true]);
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
