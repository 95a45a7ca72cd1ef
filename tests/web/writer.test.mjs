// The bridge's writer never loses an edit silently: text the native side cannot
// read is made readable, a write that never settles fails and is retried, and an
// edit the host refuses because it loaded another document is offered back.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { launchBrowser, openPage, waitForPolls } from './support/browser.mjs';
import { feedHostState } from './support/native.mjs';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

// The page with a short call time-out, so that a lost answer shows within the test.
const kQuickPage = readFileSync(new URL('../../web/app.js', import.meta.url), 'utf8')
  .replace('const kCallTimeoutMs = 10000;', 'const kCallTimeoutMs = 150;');

async function withPage(native, body, overrides = {}) {
  const session = await openPage(browser, { native, overrides });
  try {
    await body(session.page);
  } finally {
    await session.close();
  }
}

const writes = (page) => page.evaluate(() => window.__native.writes.map((w) => w.script));
const notice = (page) => page.evaluate(() => {
  const box = document.getElementById('unsaved-notice');
  return box.hidden ? '' : document.getElementById('unsaved-restore').textContent;
});

async function typeAtEnd(page, text) {
  await page.focus('#script');
  await page.keyboard.press('Control+End');
  await page.keyboard.type(text);
}

describe('writer', () => {
  it('sends lone surrogates as replacement characters', async () => {
    await withPage({ state: { script: '' } }, async (page) => {
      await page.evaluate(() => {
        const input = document.getElementById('script');
        input.value = 'a\ud800b\udc00';
        input.dispatchEvent(new Event('input'));
      });
      await waitForPolls(page, 1);
      assert.deepEqual(await writes(page), ['a\ufffdb\ufffd']);
    });
  });

  it('retries the newest edit of a write that never settles, then tells the user', async () => {
    await withPage({ state: { script: '' } }, async (page) => {
      await page.evaluate(() => { window.__native.writeMode = 'never'; });
      await typeAtEnd(page, 'ab');
      await page.waitForFunction(() => !document.getElementById('unsaved-notice').hidden);
      assert.deepEqual(await writes(page), ['a', 'ab', 'ab']);
      assert.equal(await notice(page), 'Save again');
      await page.evaluate(() => { window.__native.writeMode = 'resolve'; });
      await page.click('#unsaved-restore');
      await waitForPolls(page, 2);
      assert.deepEqual((await writes(page)).slice(3), ['ab']);
      assert.equal(await page.evaluate(() => window.__native.state.script), 'ab');
      assert.equal(await notice(page), '');
    }, { KELO_APP_JS: kQuickPage });
  });

  it('adopts a document the host loaded meanwhile and offers the refused edit back', async () => {
    await withPage({ state: { script: '' }, revision: 3 }, async (page) => {
      await page.evaluate(() => { window.__native.writeMode = 'hold'; });
      await typeAtEnd(page, 'mine');
      await feedHostState(page, { script: '[1] Host' });
      await page.evaluate(() => { window.__native.writeMode = 'resolve'; window.__native.releaseWrite(true); });
      await waitForPolls(page, 2);
      assert.equal(await page.inputValue('#script'), '[1] Host');
      assert.equal(await page.evaluate(() => window.__native.state.script), '[1] Host');
      assert.equal(await notice(page), 'Restore my edit');
      // A later edit of the host's document keeps the offer open.
      await typeAtEnd(page, '!');
      await waitForPolls(page, 1);
      assert.equal(await notice(page), 'Restore my edit');
      await page.click('#unsaved-restore');
      await waitForPolls(page, 2);
      assert.equal(await page.inputValue('#script'), 'mine');
      assert.equal(await page.evaluate(() => window.__native.state.script), 'mine');
      assert.equal(await notice(page), '');
    });
  });
});
