// Redraws the README's pictures of the playback display and the editor, in Debian's
// Chromium through the page tests' harness: node tools/make-screenshots.mjs
import { mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { launchBrowser, openPage } from '../tests/web/support/browser.mjs';
import { feedHostState, feedTransport } from '../tests/web/support/native.mjs';
import { kRepoRoot } from '../tests/web/support/resources.mjs';

const kOutputDir = join(kRepoRoot, 'docs/images');

const kState = {
  script: [
    '[1] Lanterns on the water',
    '[2.3] we were young',
    '[timer|5] Hold the line, hold the light',
    '[7] Carry me across the silver night',
    '[9]',
  ].join('\n'),
  timerTicks: 4,
  timerUnit: 2,
  displayMode: 0,
  nextLine: true,
};

// [file, state patch, transport]
const kShots = [
  ['next-line-scrolling.png', { displayMode: 0 }, { playing: true, hasPpq: true, ppq: 1.5 }],
  ['next-line-static.png', { displayMode: 1 }, { playing: true, hasPpq: true, ppq: 18 }],
  ['next-line-countdown.png', { displayMode: 1 }, { playing: true, hasPpq: true, ppq: 13.5 }],
  ['beat-markers-editor.png', {}, { playing: false, hasPpq: true, ppq: 6 }],
];

const browser = await launchBrowser();
try {
  const { page } = await openPage(browser, { native: { state: kState } });
  mkdirSync(kOutputDir, { recursive: true });
  for (const [file, patch, transport] of kShots) {
    await feedHostState(page, patch);
    await feedTransport(page, transport);
    await page.screenshot({ path: join(kOutputDir, file), animations: 'disabled', caret: 'hide' });
    console.log('wrote docs/images/' + file);
  }
} finally {
  await browser.close();
}
