// The "Import / Export" panel in Chromium: files in through the chooser and by dropping,
// the confirmed replacement reaching the host and taken back by undo, files out.
import { it } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { nativeLog, sharedPage, waitForPolls } from './support/browser.mjs';
import { feedHostState } from './support/native.mjs';

const lyricsIO = createRequire(import.meta.url)('../../web/lyricsio.js');
const kOriginal = '[1] Hello world\n[2] Again\n[3]';
const kLrc = '[00:00.00]Hello world\n[00:02.00]Again\n[00:04.00]\n';
const kFourFour = { numerator: 4, denominator: 4 };
const midi = (tempo, spread, ...phrases) =>
  lyricsIO.writeMidi(
    phrases.map((text, i) => ({ start: i * 4, end: i * 4 + 4, text, countdown: false })),
    { meter: kFourFour, tempo, spread, title: phrases[0] },
  );

const native = { state: { script: kOriginal }, transport: { hasTempo: true, tempo: 120, ...kFourFour } };
const { page, context } = await sharedPage({ native });
const script = () => page.inputValue('#script');
const writes = async () => (await nativeLog(page)).writes;
const shown = (selector) => page.$eval(selector, (e) => !e.hidden);
const message = () => page.textContent('#lyrics-message');
async function previewText() {
  await page.waitForSelector('#lyrics-preview:not([hidden]), #lyrics-message:not(:empty)', { state: 'attached' });
  return page.inputValue('#lyrics-preview-text');
}

// Drops a file holding `bytes` (or `size` zero bytes) onto the lyrics, as a file manager does.
function dropFile(name, { bytes = [], size = 0 }) {
  return page.evaluate(
    ({ name, bytes, size }) => {
      const data = new DataTransfer();
      data.items.add(new File([new Uint8Array(size || bytes)], name));
      for (const type of ['dragenter', 'dragover', 'drop']) {
        const event = new DragEvent(type, { dataTransfer: data, bubbles: true, cancelable: true });
        document.getElementById('script').dispatchEvent(event);
      }
    },
    { name, bytes: Array.from(bytes), size },
  );
}

it('loads a chosen MIDI file into the preview; confirming replaces the script and saves it; undo restores', async () => {
  const before = (await writes()).length;
  await page.click('#lyrics-file');
  const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.click('#lyrics-open')]);
  await chooser.setFiles({
    name: 'song.mid',
    mimeType: 'audio/midi',
    buffer: Buffer.from(midi(0, false, 'Sung line', 'Next')),
  });
  const imported = '[1] Sung line\n[2] Next\n[3]';
  assert.deepEqual([await previewText(), await script()], [imported, kOriginal]);
  await page.click('#lyrics-confirm');
  assert.deepEqual([await shown('#lyrics-panel'), await script()], [false, imported]);
  await waitForPolls(page, 2);
  assert.deepEqual((await writes()).slice(before), [imported]);
  assert.equal(await page.evaluate(() => cues.map((c) => c.text).join('|')), 'Sung line|Next');
  await page.keyboard.press('Control+Z');
  assert.equal(await script(), kOriginal);
  await waitForPolls(page, 2);
  assert.equal((await writes()).at(-1), kOriginal);
});

it("shows a dropped LRC at the host's tempo, then at a typed tempo and starting bar; cancel changes nothing", async () => {
  const before = await writes();
  await dropFile('song.lrc', { bytes: Buffer.from('[ti:x]\n[00:01.00]One\n[00:03.00]Two\n') });
  assert.equal(await previewText(), '[1.3] One\n[2.3] Two\n[3]');
  await page.fill('#lyrics-tempo', '60');
  await page.fill('#lyrics-bar', '5');
  assert.equal(await page.inputValue('#lyrics-preview-text'), '[5.2] One\n[5.4] Two\n[6]');
  await page.fill('#lyrics-tempo', '');
  const refused = [
    await page.inputValue('#lyrics-preview-text'),
    await message(),
    await page.$eval('#lyrics-confirm', (b) => b.disabled),
  ];
  assert.deepEqual(refused, ['', "Type the song's tempo in BPM (10 to 999).", true]);
  await page.click('#lyrics-cancel');
  await waitForPolls(page, 2);
  assert.deepEqual([await shown('#lyrics-panel'), await script(), await writes()], [false, kOriginal, before]);
});

it('answers a bad file with one message in the interface language and keeps the lyrics', async () => {
  await feedHostState(page, { language: 1 });
  const before = await writes();
  for (const [name, file, text] of [
    ['cut.mid', { bytes: [0x4d, 0x54, 0x68, 0x64, 0, 0] }, 'Ce fichier MIDI est endommagé ou incomplet.'],
    ['big.lrc', { size: 4 * 1024 * 1024 + 1 }, 'Ce fichier est trop volumineux (plus de 4 Mio).'],
  ]) {
    await dropFile(name, file);
    await previewText();
    assert.deepEqual([await message(), await shown('#lyrics-preview')], [text, false]);
  }
  assert.equal(await page.textContent('#lyrics-save-midi'), 'Enregistrer en MIDI');
  await page.click('#lyrics-close');
  await feedHostState(page, { language: 0 });
  assert.deepEqual([await script(), await writes()], [kOriginal, before]);
});

it('exports: MIDI as a download where no save dialog can be shown, LRC through a dialog and to the clipboard', async () => {
  await page.click('#lyrics-file');
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#lyrics-save-midi')]);
  assert.equal(download.suggestedFilename(), 'Hello world.mid');
  assert.deepEqual(new Uint8Array(readFileSync(await download.path())), midi(120, true, 'Hello world', 'Again'));

  await page.evaluate(() => {
    window.showSaveFilePicker = async ({ suggestedName }) => {
      window.__saved = { name: suggestedName, chunks: [] };
      return {
        createWritable: async () => ({ write: async (b) => window.__saved.chunks.push(...b), close: async () => {} }),
      };
    };
  });
  await page.click('#lyrics-save-lrc');
  await page.waitForFunction(() => window.__saved?.chunks.length > 0);
  const saved = await page.evaluate(() => window.__saved);
  assert.deepEqual([saved.name, Buffer.from(saved.chunks).toString('utf8')], ['Hello world.lrc', kLrc]);

  await context.grantPermissions(['clipboard-read', 'clipboard-write'], { origin: 'https://kelo.invalid' });
  await page.click('#lyrics-copy-lrc');
  await page.waitForFunction(() => document.getElementById('lyrics-message').textContent !== '');
  const copied = [await message(), await page.evaluate(() => navigator.clipboard.readText())];
  assert.deepEqual(copied, ['LRC copied to the clipboard.', kLrc]);
});
