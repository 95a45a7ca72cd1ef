// Screenshot comparison against kept images in tests/web/expected/. Set
// KELO_UPDATE_EXPECTED=1 to write new expected images after a deliberate change of look.
import assert from 'node:assert/strict';
import { existsSync, mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { tmpdir } from 'node:os';
import { decodePng, differingShare } from './png.mjs';
import { kRepoRoot } from './resources.mjs';

const kExpectedDir = join(kRepoRoot, 'tests/web/expected');
const kChannelThreshold = 40;
const kMaxDifferingShare = 0.01;

export async function assertLooksLike(page, name) {
  const actual = await page.screenshot({ animations: 'disabled', caret: 'hide' });
  const file = join(kExpectedDir, name + '.png');
  if (process.env.KELO_UPDATE_EXPECTED === '1') {
    mkdirSync(kExpectedDir, { recursive: true });
    writeFileSync(file, actual);
    return;
  }
  assert.ok(existsSync(file), 'expected image missing: ' + file + ' (write it with KELO_UPDATE_EXPECTED=1)');
  const share = differingShare(decodePng(actual), decodePng(readFileSync(file)), kChannelThreshold);
  const actualFile = join(tmpdir(), 'kelo-' + name + '.actual.png');
  if (share > kMaxDifferingShare) writeFileSync(actualFile, actual);
  assert.ok(share <= kMaxDifferingShare,
    name + ': ' + (share * 100).toFixed(2) + '% of pixels differ (see ' + actualFile + ')');
}
