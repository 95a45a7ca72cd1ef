// The playback display, fed transport readings through the plug-in's read function.
import { it } from 'node:test';
import assert from 'node:assert/strict';
import { sharedPage } from './support/browser.mjs';
import { feedHostState, feedTransport } from './support/native.mjs';

const { page } = await sharedPage({ native: { transport: { playing: true, hasPpq: true, ppq: 0 } } });

const display = () =>
  page.evaluate(() => {
    const [text, panel, next] = ['play-text', 'play-panel', 'play-next'].map((id) => document.getElementById(id));
    const [t, p, n] = [text, panel, next].map((element) => element.getBoundingClientRect());
    return {
      className: text.className,
      text: text.textContent,
      panel: panel.className,
      transform: text.style.transform,
      colour: getComputedStyle(text).color,
      spans: text.querySelectorAll('span').length,
      next: next.hidden ? null : next.textContent,
      // The next line lies under the phrase, inside the panel, and moves with it.
      nextPlaced: next.style.transform === text.style.transform && n.top >= t.bottom - 1 && n.bottom <= p.bottom + 1,
      // Panel heights the text's bottom edge has risen above the panel's bottom, and how far off centre it is.
      risen: Math.round(((p.bottom - t.bottom) / p.height) * 100) / 100,
      centred: Math.abs((p.top + p.bottom) / 2 - (t.top + t.bottom) / 2) < 1,
      halfPanel: text.style.transform === 'translateY(' + -0.5 * panel.clientHeight + 'px)',
    };
  });

async function at(ppq, more = {}) {
  await feedTransport(page, { playing: true, hasPpq: true, ppq, ...more });
  return display();
}

// Rows of [host state patch or null, beat, further transport or null, the display's fields expected then].
async function expectRows(rows) {
  for (const [patch, beat, more, expected] of rows) {
    if (patch) await feedHostState(page, patch);
    const shown = await at(beat, more ?? {});
    for (const [key, value] of Object.entries(expected))
      assert.equal(shown[key], value, JSON.stringify([patch, beat, key]));
  }
}
// Rows for the beats of one host state, each showing its text.
const texts = (patch, beats, shown) => beats.map((beat, i) => [i ? null : patch, beat, null, { text: shown[i] }]);

it('tells a missing position, missing lyrics in the chosen language, nothing in gaps and the end after the last cue', async () => {
  const kNoPosition = { className: 'message', text: 'DAW does not provide a musical position', panel: 'static' };
  const kGap = { className: 'message', text: '', transform: '' };
  const kEnd = { text: 'End of lyrics' };
  // prettier-ignore
  await expectRows([
    [{ script: '[1] Hello [2]', language: 0, autoFill: true, displayMode: 0 }, 1, { hasPpq: false }, kNoPosition],
    [{ script: 'no markers' }, 1, null, { text: 'Add lyrics in the editor' }],
    [{ language: 3 }, 1, null, { text: 'Liedtext hinzufügen' }],
    [{ language: 0, script: '[2] a [3] [4] b [5]' }, 0, null, kGap],
    [null, 3.99, null, kGap], [null, 8, null, kGap], [null, 11.5, null, kGap],
    [null, 16, null, kEnd], [null, 500, null, kEnd], [null, 15.9, null, { className: 'lyrics' }],
  ]);
});

it('fills a 10-character phrase character by character with hard colour edges', async () => {
  await feedHostState(page, { script: '[1] abcdefghij [2]', autoFill: true, displayMode: 1 });
  const shown = await at(0.35 * 4);
  assert.deepEqual([shown.className, shown.spans, shown.text], ['lyrics', 10, 'abcdefghij']);
  // Per character: the filled share read back from the gradient's stops, with both colours checked.
  const fills = await page.$$eval('#play-text span', (spans) =>
    spans.map((span) => {
      const image = span.style.backgroundImage;
      const match = /linear-gradient\(90deg, rgb\(25, 181, 225\) ([\d.]+)%, rgb\(24, 43, 91\) ([\d.]+)%\)/.exec(image);
      return match && match[1] === match[2] ? Math.round(Number(match[1]) * 10) / 1000 : 'bad gradient: ' + image;
    }),
  );
  assert.deepEqual(fills, [1, 1, 1, 0.5, 0, 0, 0, 0, 0, 0]);
  const glyphs = await page.$eval('#play-text span', (s) => getComputedStyle(s).webkitTextFillColor);
  assert.equal(glyphs, 'rgba(0, 0, 0, 0)', 'the glyphs show the background');
  // Surrogate pairs stay whole; spaces and line breaks get their own characters.
  await feedHostState(page, { script: '[1] a😀 b\nc [2]' });
  await at(1);
  const characters = await page.$$eval('#play-text span', (spans) => spans.map((s) => s.textContent));
  assert.deepEqual(characters, ['a', '😀', ' ', 'b', '\n', 'c']);
});

it('shows plain text without auto-fill, scrolls up by one panel height, centres static phrases, the later of two cues', async () => {
  const kStill = { panel: 'static', transform: '', centred: true };
  // prettier-ignore
  await expectRows([
    [{ script: '[1] plain words [2]', autoFill: false }, 2, null, { className: 'lyrics', spans: 0, text: 'plain words' }],
    [{ script: '[1] rising [2]', autoFill: true, displayMode: 0 }, 0, null, { panel: 'scrolling', risen: 0 }],
    [null, 2, null, { risen: 0.5, halfPanel: true }],
    [{ script: '[1] still [2]', displayMode: 1 }, 0.5, null, kStill],
    [null, 3, null, kStill],
    // The clamped count-down (0 to 8) lies over `first` (0 to 8) and comes later in the list.
    [{ script: '[1] first [3] second [4] [timer|3]', timerTicks: 8, displayMode: 0 }, 0.5, null,
      { className: 'countdown', text: '8', panel: 'static' }],
    [null, 9, null, { text: 'second' }],
  ]);
});

it('counts whole ticks of the unit down to 1, from the full count even when clamped, in the marker colour', async () => {
  await expectRows([
    ...texts(
      { script: '[1] intro [timer|5]', timerTicks: 4, timerUnit: 2 },
      [12, 12.9, 13, 14, 15, 15.99, 16],
      [...'443211', 'End of lyrics'],
    ),
    ...texts({ script: '[timer|2]', timerTicks: 8 }, [0, 1, 2, 3, 3.99], ['8', '7', '6', '5', '5']),
    ...texts({ script: '[timer|5]', timerTicks: 4, timerUnit: 3 }, [14, 14.5, 15, 15.5], ['4', '3', '2', '1']),
    [null, 15.5, null, { colour: 'rgb(255, 105, 120)' }],
  ]);
});

it('shows the next phrase with text under the current one, a count-down and a gap, and nothing at the end', async () => {
  await feedHostState(page, { script: '[2] one [3] two [timer|6] three [7]', timerTicks: 4, timerUnit: 2 });
  // [beat, display mode, next line on, current text, next line]
  // prettier-ignore
  const cases = [
    [1, 0, true, '', 'one'], [5, 0, true, 'one', 'two'], [9, 1, true, 'two', 'three'], [17, 0, true, '3', 'three'],
    [17, 1, true, '3', 'three'], [21, 0, true, 'three', null], [24, 0, true, 'End of lyrics', null],
    [5, 0, false, 'one', null], [17, 1, false, '3', null],
  ];
  const under = (next) => (next === null ? { next } : { next, nextPlaced: true });
  // prettier-ignore
  const row = ([ppq, displayMode, nextLine, text, next]) => [{ displayMode, nextLine }, ppq, null, { text, ...under(next) }];
  await expectRows(cases.map(row));
});

it('recompiles when the meter changes', async () => {
  // prettier-ignore
  await expectRows([
    [{ script: '[3] moved [4]', nextLine: true, displayMode: 0 }, 7, { beatsPerBar: 4 }, { className: 'message' }],
    [null, 7, { beatsPerBar: 3 }, { className: 'lyrics', text: 'moved' }],
    // 6/8 and 3/4 differ only in the beat unit.
    [{ script: '[2.3] beat [3]' }, 4.2, { beatsPerBar: 3, numerator: 6, denominator: 8 }, { text: 'beat' }],
    [null, 4.2, { beatsPerBar: 3, numerator: 3, denominator: 4 }, { className: 'message' }],
  ]);
});
