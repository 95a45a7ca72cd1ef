// Screenshot comparison against kept images in tests/web/expected/. Set
// KELO_UPDATE_EXPECTED=1 to write new expected images after a deliberate change of look.
import assert from 'node:assert/strict';
import { existsSync, mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { tmpdir } from 'node:os';
import { kRepoRoot } from './resources.mjs';

const kExpectedDir = join(kRepoRoot, 'tests/web/expected');

// Share of pixels whose largest channel difference exceeds 40, decoded by Chromium itself
// in a blank page beside the one under test.
async function differingShare(context, a, b) {
  const scratch = await context.newPage();
  const share = await scratch.evaluate(
    async (images) => {
      const [x, y] = await Promise.all(
        images.map(async (base64) => {
          const bitmap = await createImageBitmap(await (await fetch('data:image/png;base64,' + base64)).blob());
          const context = new OffscreenCanvas(bitmap.width, bitmap.height).getContext('2d');
          context.drawImage(bitmap, 0, 0);
          return context.getImageData(0, 0, bitmap.width, bitmap.height);
        }),
      );
      if (x.width !== y.width || x.height !== y.height) return 1;
      let differing = 0;
      for (let i = 0; i < x.data.length; i += 4) {
        const channels = [0, 1, 2, 3].map((c) => Math.abs(x.data[i + c] - y.data[i + c]));
        if (Math.max(...channels) > 40) differing += 1;
      }
      return differing / (x.width * x.height);
    },
    [a.toString('base64'), b.toString('base64')],
  );
  await scratch.close();
  return share;
}

export async function assertLooksLike(page, name) {
  const actual = await page.screenshot({ animations: 'disabled', caret: 'hide' });
  const file = join(kExpectedDir, name + '.png');
  if (process.env.KELO_UPDATE_EXPECTED === '1') {
    mkdirSync(kExpectedDir, { recursive: true });
    return writeFileSync(file, actual);
  }
  assert.ok(existsSync(file), 'expected image missing: ' + file + ' (write it with KELO_UPDATE_EXPECTED=1)');
  const share = await differingShare(page.context(), actual, readFileSync(file));
  const actualFile = join(tmpdir(), 'kelo-' + name + '.actual.png');
  if (share > 0.01) writeFileSync(actualFile, actual);
  assert.ok(share <= 0.01, name + ': ' + (share * 100).toFixed(2) + '% of pixels differ (see ' + actualFile + ')');
}
