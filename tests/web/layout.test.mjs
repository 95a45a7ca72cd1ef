// Layout at the window sizes the plug-in uses, and the look of the editor and the display.
import { it } from 'node:test';
import assert from 'node:assert/strict';
import { testBrowser } from './support/browser.mjs';
import { feedHostState, feedTransport } from './support/native.mjs';
import { assertLooksLike } from './support/expected.mjs';

const { withPage } = await testBrowser();
const kHostState = {
  script:
    '[1] Lanterns on the water\nwe were young\n[3] Hold the line\n<b>hold</b> the light\n[timer|6]\n[6] Sing it true\n[8]',
  timerTicks: 4,
  timerUnit: 2,
  language: 0,
};

// Element boxes in unscaled stage pixels: [left, top, width, height], null where not checked.
// prettier-ignore
const kEditorBoxes = {
  '.masthead': [0, 0, 1584, 97], '.masthead > img': [0, 0, 1584, 97],
  '.brand-link img': [1452, 10, 112, (112 * 160) / 254], '#edit-view': [0, 97, 1584, 711],
  '.editor-card': [23, 98, 1076, 709], '.settings-card': [1116, 98, 449, 709],
  '.script-frame': [36, 118, 1050, 566], '#gutter': [37, 120, 98, 562],
  '#script': [147, 120, 927, 562], '#highlight': [147, 120, 927, 562],
  '#marker': [null, null, 329, 76], '#timer': [null, null, 332, 76], '#ticks': [null, null, 228, 53],
  '#duration': [null, null, 399, 55], '#display-mode': [null, null, 399, 61],
  '.editor-art': [null, null, 375, 96], '.settings-art': [null, null, 116, 56],
  // The version label sits 27 x 14 stage pixels inside the stage's bottom right corner.
  '.version-label': [null, null, null, null, 1584 - 27, 808 - 14],
};

// Measures the boxes (with their right and bottom edges) in stage pixels and compares them.
async function assertBoxes(page, expected) {
  const measured = await page.evaluate((list) => {
    const stage = document.getElementById('stage').getBoundingClientRect();
    const factor = Math.min(innerWidth / 1584, innerHeight / 808);
    const result = { stage: [stage.left, stage.top, stage.width, stage.height].map((v) => v / factor), factor };
    for (const selector of list) {
      const box = document.querySelector(selector).getBoundingClientRect();
      const [left, top] = [box.left - stage.left, box.top - stage.top];
      result[selector] = [left, top, box.width, box.height, left + box.width, top + box.height].map((v) => v / factor);
    }
    return result;
  }, Object.keys(expected));
  for (const [selector, box] of Object.entries({ stage: [0, 0, 1584, 808], ...expected }))
    box.forEach((value, i) => {
      const seen = measured[selector][i];
      if (value !== null) assert.ok(Math.abs(seen - value) < 1.01, `${selector} [${i}] is ${seen}, expected ${value}`);
    });
  return measured.factor;
}

it('fits the whole stage into each window size the plug-in uses, rescaling as the window is resized', async () => {
  await withPage({ native: { state: { ...kHostState, language: 1 } } }, async ({ page }) => {
    for (const [width, height, factor] of [
      [1188, 606, 0.75],
      [792, 404, 0.5],
      [1584, 404, 0.5],
    ]) {
      await page.setViewportSize({ width, height });
      await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(resolve))); // the resize event has run
      assert.equal(await assertBoxes(page, kEditorBoxes), factor, width + ' x ' + height);
    }
    // The play view fills the stage below the header, the badge in the header.
    await feedTransport(page, { playing: true, hasPpq: true, ppq: 1 });
    assert.equal(
      await assertBoxes(page, { '#play-panel': [0, 97, 1584, 711], '#mode-badge': [319, 22, 104, 48] }),
      0.5,
    );
  });
});

// With the next line off the display looks exactly as before the setting existed.
it('draws the editor, a scrolling phrase half filled, a static one and a count-down as designed', async () => {
  await withPage({ native: { state: kHostState } }, async ({ page }) => {
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
