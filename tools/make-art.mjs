// Redraws the page's images from their sources in web/art/ with headless Chromium.
// Run from the repository root after "npm ci": node tools/make-art.mjs
import { chromium } from 'playwright-core';
import { fileURLToPath } from 'node:url';
import { join } from 'node:path';

const kRoot = fileURLToPath(new URL('../', import.meta.url));
const kChromium = process.env.KELO_CHROMIUM || '/usr/lib/chromium/chromium';

// Name, size, and whether the image keeps a transparent background.
const kImages = [
  { name: 'header', width: 1584, height: 97, transparent: false },
  { name: 'editor_flourish', width: 375, height: 96, transparent: true },
  { name: 'settings_flourish', width: 90, height: 40, transparent: true },
  { name: 'velmora', width: 254, height: 160, transparent: true },
];

const browser = await chromium.launch({
  executablePath: kChromium,
  headless: true,
  args: [
    '--no-sandbox',
    '--disable-gpu',
    '--disable-background-networking',
    '--disable-component-update',
    '--disable-sync',
    '--no-first-run',
    '--font-render-hinting=none',
  ],
});
try {
  for (const image of kImages) {
    const context = await browser.newContext({
      viewport: { width: image.width, height: image.height },
      deviceScaleFactor: 1,
    });
    const page = await context.newPage();
    await page.goto('file://' + join(kRoot, 'web/art', image.name + '.html'));
    const target = join(kRoot, 'web', image.name + '.png');
    await page.screenshot({
      path: target,
      omitBackground: image.transparent,
      clip: { x: 0, y: 0, width: image.width, height: image.height },
    });
    await context.close();
    console.log('wrote ' + target);
  }
} finally {
  await browser.close();
}
