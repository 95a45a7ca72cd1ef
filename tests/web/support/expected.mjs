// Screenshot comparison against kept images in tests/web/expected/. Set
// KELO_UPDATE_EXPECTED=1 to write new expected images after a deliberate change of look.
import assert from 'node:assert/strict';
import { existsSync, mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { tmpdir } from 'node:os';
import { kRepoRoot } from './resources.mjs';

const kExpectedDir = join(kRepoRoot, 'tests/web/expected');
const kChannelThreshold = 40;
const kMaxDifferingShare = 0.01;

// Share of pixels whose largest channel difference exceeds the threshold, decoded by
// Chromium itself in a blank page beside the one under test.
async function differingShare(context, a, b) {
  const scratch = await context.newPage();
  try {
    return await scratch.evaluate(
      async ([a, b, threshold]) => {
        const pixels = async (base64) => {
          const bitmap = await createImageBitmap(await (await fetch('data:image/png;base64,' + base64)).blob());
          const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
          const context = canvas.getContext('2d');
          context.drawImage(bitmap, 0, 0);
          return context.getImageData(0, 0, bitmap.width, bitmap.height);
        };
        const [x, y] = [await pixels(a), await pixels(b)];
        if (x.width !== y.width || x.height !== y.height) return 1;
        let differing = 0;
        for (let i = 0; i < x.data.length; i += 4) {
          let d = 0;
          for (let c = 0; c < 4; c++) d = Math.max(d, Math.abs(x.data[i + c] - y.data[i + c]));
          if (d > threshold) differing += 1;
        }
        return differing / (x.width * x.height);
      },
      [a.toString('base64'), b.toString('base64'), kChannelThreshold],
    );
  } finally {
    await scratch.close();
  }
}

export async function assertLooksLike(page, name) {
  const actual = await page.screenshot({ animations: 'disabled', caret: 'hide' });
  const file = join(kExpectedDir, name + '.png');
  if (process.env.KELO_UPDATE_EXPECTED === '1') {
    mkdirSync(kExpectedDir, { recursive: true });
    writeFileSync(file, actual);
    return;
  }
  assert.ok(existsSync(file), 'expected image missing: ' + file + ' (write it with KELO_UPDATE_EXPECTED=1)');
  const share = await differingShare(page.context(), actual, readFileSync(file));
  const actualFile = join(tmpdir(), 'kelo-' + name + '.actual.png');
  if (share > kMaxDifferingShare) writeFileSync(actualFile, actual);
  assert.ok(
    share <= kMaxDifferingShare,
    name + ': ' + (share * 100).toFixed(2) + '% of pixels differ (see ' + actualFile + ')',
  );
}
