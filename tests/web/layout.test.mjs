// Layout at the window sizes the plug-in uses, and the look of the editor and the display.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { launchBrowser, withPage } from './support/browser.mjs';
import { feedHostState, feedTransport } from './support/native.mjs';
import { assertLooksLike } from './support/expected.mjs';

let browser;
before(async () => {
  browser = await launchBrowser();
});
after(async () => {
  await browser?.close();
});

const kHostState = {
  script:
    '[1] Lanterns on the water\nwe were young\n[3] Hold the line\n<b>hold</b> the light\n[timer|6]\n[6] Sing it true\n[8]',
  timerTicks: 4,
  timerUnit: 2,
  language: 0,
};

// Element boxes in unscaled stage pixels: [left, top, width, height].
const kEditorBoxes = {
  '.masthead': [0, 0, 1584, 97],
  '.masthead > img': [0, 0, 1584, 97],
  '.brand-link img': [1452, 10, 112, (112 * 160) / 254],
  '#edit-view': [0, 97, 1584, 711],
  '.editor-card': [23, 98, 1076, 709],
  '.settings-card': [1116, 98, 449, 709],
  '.script-frame': [36, 118, 1050, 566],
  '#gutter': [37, 120, 98, 562],
  '#script': [147, 120, 927, 562],
  '#highlight': [147, 120, 927, 562],
  '#marker': [null, null, 329, 76],
  '#timer': [null, null, 332, 76],
  '#ticks': [null, null, 228, 53],
  '#duration': [null, null, 399, 55],
  '#display-mode': [null, null, 399, 61],
  '.editor-art': [null, null, 375, 96],
  '.settings-art': [null, null, 116, 56],
};

async function stageBoxes(page, selectors) {
  return page.evaluate((list) => {
    const stage = document.getElementById('stage').getBoundingClientRect();
    const factor = Math.min(innerWidth / 1584, innerHeight / 808);
    const result = { stage: [stage.left, stage.top, stage.width, stage.height], factor };
    for (const selector of list) {
      const box = document.querySelector(selector).getBoundingClientRect();
      result[selector] = [
        (box.left - stage.left) / factor,
        (box.top - stage.top) / factor,
        box.width / factor,
        box.height / factor,
      ];
    }
    return result;
  }, selectors);
}

function assertBoxes(measured, expected) {
  for (const [selector, box] of Object.entries(expected)) {
    box.forEach((value, i) => {
      if (value === null) return;
      assert.ok(
        Math.abs(measured[selector][i] - value) < 1.01,
        selector + ' [' + i + '] is ' + measured[selector][i] + ', expected ' + value,
      );
    });
  }
}

describe('scaling', () => {
  for (const [width, height, factor] of [
    [1188, 606, 0.75],
    [792, 404, 0.5],
    [1584, 404, 0.5],
  ]) {
    it('fits the whole stage into a ' + width + ' x ' + height + ' window at ' + factor, async () => {
      await withPage(browser, { viewport: { width, height }, native: { state: kHostState } }, async ({ page }) => {
        const measured = await stageBoxes(page, Object.keys(kEditorBoxes));
        assert.deepEqual(
          measured.stage.map((v) => Math.round(v * 100) / 100),
          [0, 0, 1584 * factor, 808 * factor],
        );
        assertBoxes(measured, kEditorBoxes);
        const version = await page.evaluate(() => {
          const [stage, label] = ['#stage', '.version-label'].map((s) =>
            document.querySelector(s).getBoundingClientRect(),
          );
          return [stage.right - label.right, stage.bottom - label.bottom];
        });
        assert.ok(Math.abs(version[0] - 27 * factor) < 1 && Math.abs(version[1] - 14 * factor) < 1, String(version));
      });
    });
  }

  it('rescales when the window is resized and fills the play view below the header', async () => {
    await withPage(browser, { native: { state: { ...kHostState, language: 1 } } }, async ({ page }) => {
      await page.setViewportSize({ width: 792, height: 404 });
      await feedTransport(page, { playing: true, hasPpq: true, ppq: 1 });
      const measured = await stageBoxes(page, ['#play-panel', '#mode-badge']);
      assert.equal(measured.factor, 0.5);
      assertBoxes(measured, { '#play-panel': [0, 97, 1584, 711], '#mode-badge': [319, 22, 104, 48] });
    });
  });
});

// With the next line off the display looks exactly as before the setting existed.
it('draws the editor, a scrolling phrase half filled, a static one and a count-down as designed', async () => {
  await withPage(browser, { native: { state: kHostState } }, async ({ page }) => {
    await assertLooksLike(page, 'editor');
    for (const [nextLine, prefix] of [
      [false, 'playback'],
      [true, 'next-line'],
    ]) {
      await feedHostState(page, { nextLine, displayMode: 0 });
      await feedTransport(page, { playing: true, hasPpq: true, ppq: 4 });
      await assertLooksLike(page, prefix + '-scrolling');
      await feedHostState(page, { displayMode: 1 });
      await feedTransport(page, { ppq: 10 });
      await assertLooksLike(page, prefix + '-static');
      await feedTransport(page, { ppq: 17.5 });
      assert.equal(await page.textContent('#play-text'), '3');
      await assertLooksLike(page, prefix + '-countdown');
    }
  });
});
