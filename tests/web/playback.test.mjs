// The playback display, fed transport readings through the plug-in's read function.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { launchBrowser, openPage } from './support/browser.mjs';
import { feedHostState, feedTransport } from './support/native.mjs';

let browser;
let page;
before(async () => {
  browser = await launchBrowser();
  ({ page } = await openPage(browser, { native: { transport: { playing: true, hasPpq: true, ppq: 0 } } }));
});
after(async () => {
  await browser?.close();
});

const display = () =>
  page.evaluate(() => {
    const text = document.getElementById('play-text');
    const panel = document.getElementById('play-panel');
    const next = document.getElementById('play-next');
    const box = (element) => element.getBoundingClientRect();
    return {
      className: text.className,
      text: text.textContent,
      panel: panel.className,
      transform: text.style.transform,
      spans: text.querySelectorAll('span').length,
      next: next.hidden ? null : next.textContent,
      // The next line lies under the phrase, inside the panel, and moves with it.
      nextPlaced:
        next.style.transform === text.style.transform &&
        box(next).top >= box(text).bottom - 1 &&
        box(next).bottom <= box(panel).bottom + 1,
      // Panel heights the text's bottom edge has risen above the panel's bottom, and how far off centre it is.
      risen: Math.round(((box(panel).bottom - box(text).bottom) / box(panel).height) * 100) / 100,
      centred: Math.abs((box(panel).top + box(panel).bottom) / 2 - (box(text).top + box(text).bottom) / 2) < 1,
      halfPanel: 'translateY(' + -0.5 * panel.clientHeight + 'px)',
    };
  });

async function at(ppq, more = {}) {
  await feedTransport(page, { playing: true, hasPpq: true, ppq, ...more });
  return display();
}

// Per character: the filled share read back from the gradient's stops, with both colours checked.
const fills = () =>
  page.$$eval('#play-text span', (spans) =>
    spans.map((span) => {
      const image = span.style.backgroundImage;
      const match = /linear-gradient\(90deg, rgb\(25, 181, 225\) ([\d.]+)%, rgb\(24, 43, 91\) ([\d.]+)%\)/.exec(image);
      if (!match || match[1] !== match[2]) return 'bad gradient: ' + image;
      return Number(match[1]) / 100;
    }),
  );

// Shows `beat` after the host state took `patch` (when given) and checks the fields named in `expected`.
async function expectAt([patch, beat, more, expected]) {
  if (patch) await feedHostState(page, patch);
  const shown = await at(beat, more);
  for (const [key, value] of Object.entries(expected))
    assert.equal(shown[key], value, JSON.stringify([patch, beat, key]));
}

it('tells a missing position, missing lyrics in the chosen language, nothing in gaps and the end after the last cue', async () => {
  const kNoPosition = { className: 'message', text: 'DAW does not provide a musical position', panel: 'static' };
  const kGap = { className: 'message', text: '', transform: '' };
  for (const row of [
    [{ script: '[1] Hello [2]', language: 0, autoFill: true, displayMode: 0 }, 1, { hasPpq: false }, kNoPosition],
    [{ script: 'no markers' }, 1, {}, { text: 'Add lyrics in the editor' }],
    [{ language: 3 }, 1, {}, { text: 'Liedtext hinzufügen' }],
    [{ language: 0, script: '[2] a [3] [4] b [5]' }, 0, {}, kGap],
    [null, 3.99, {}, kGap],
    [null, 8, {}, kGap],
    [null, 11.5, {}, kGap],
    [null, 16, {}, { text: 'End of lyrics' }],
    [null, 500, {}, { text: 'End of lyrics' }],
    [null, 15.9, {}, { className: 'lyrics' }],
  ])
    await expectAt(row);
});

describe('phrases', () => {
  it('fills a 10-character phrase character by character with hard colour edges', async () => {
    await feedHostState(page, { script: '[1] abcdefghij [2]', autoFill: true, displayMode: 1 });
    const shown = await at(0.35 * 4);
    assert.deepEqual([shown.className, shown.spans, shown.text], ['lyrics', 10, 'abcdefghij']);
    assert.deepEqual(
      (await fills()).map((f) => Math.round(f * 1000) / 1000),
      [1, 1, 1, 0.5, 0, 0, 0, 0, 0, 0],
    );
    const glyphs = await page.$eval('#play-text span', (s) => {
      const style = getComputedStyle(s);
      return [style.webkitTextFillColor, style.backgroundClip || style.webkitBackgroundClip];
    });
    assert.deepEqual(glyphs, ['rgba(0, 0, 0, 0)', 'text']);
  });

  it('keeps surrogate pairs whole and gives spaces and line breaks their own characters', async () => {
    await feedHostState(page, { script: '[1] a😀 b\nc [2]' });
    await at(1);
    const characters = await page.$$eval('#play-text span', (spans) => spans.map((s) => s.textContent));
    assert.deepEqual(characters, ['a', '😀', ' ', 'b', '\n', 'c']);
  });

  it('shows plain text without auto-fill, scrolls up by one panel height, centres static phrases, the later of two cues', async () => {
    for (const row of [
      [
        { script: '[1] plain words [2]', autoFill: false },
        2,
        {},
        { className: 'lyrics', spans: 0, text: 'plain words' },
      ],
      [{ script: '[1] rising [2]', autoFill: true, displayMode: 0 }, 0, {}, { panel: 'scrolling', risen: 0 }],
      [null, 2, {}, { risen: 0.5 }],
      [{ script: '[1] still [2]', displayMode: 1 }, 0.5, {}, { panel: 'static', transform: '', centred: true }],
      [null, 3, {}, { panel: 'static', transform: '', centred: true }],
      // The clamped count-down (0 to 8) lies over `first` (0 to 8) and comes later in the list.
      [
        { script: '[1] first [3] second [4] [timer|3]', timerTicks: 8, displayMode: 0 },
        0.5,
        {},
        { className: 'countdown', text: '8', panel: 'static' },
      ],
      [null, 9, {}, { text: 'second' }],
    ])
      await expectAt(row);
    await feedHostState(page, { script: '[1] rising [2]' });
    const { transform, halfPanel } = await at(2);
    assert.equal(transform, halfPanel);
  });

  it('shows lyrics markup as text and never runs it', async () => {
    await page.evaluate(() => {
      window.__pwned = 0;
    });
    await feedHostState(page, {
      script: '[1] <img src=x onerror="window.__pwned=1"><script>window.__pwned=2</script> [2]',
    });
    for (const autoFill of [true, false]) {
      await feedHostState(page, { autoFill });
      const shown = await at(1);
      assert.equal(shown.text, '<img src=x onerror="window.__pwned=1"><script>window.__pwned=2</script>');
    }
    await page.waitForTimeout(100);
    assert.equal(await page.evaluate(() => window.__pwned), 0);
    assert.equal(await page.$$eval('#play-text img, #play-text script', (e) => e.length), 0);
    await feedHostState(page, { autoFill: true });
  });
});

describe('count-downs', () => {
  it('count whole ticks of the unit down to 1, from the full count even when clamped', async () => {
    // [script, ticks, unit, beats, what each beat shows]
    const cases = [
      ['[1] intro [timer|5]', 4, 2, [12, 12.9, 13, 14, 15, 15.99, 16], ['4', '4', '3', '2', '1', '1', 'End of lyrics']],
      ['[timer|2]', 8, 2, [0, 1, 2, 3, 3.99], ['8', '7', '6', '5', '5']],
      ['[timer|5]', 4, 3, [14, 14.5, 15, 15.5], ['4', '3', '2', '1']],
    ];
    for (const [script, timerTicks, timerUnit, beats, shown] of cases) {
      await feedHostState(page, { script, timerTicks, timerUnit });
      const seen = [];
      for (const beat of beats) seen.push((await at(beat)).text);
      assert.deepEqual(seen, shown, script);
    }
    const colour = await page.$eval('#play-text', (t) => getComputedStyle(t).color);
    assert.equal(colour, 'rgb(255, 105, 120)');
  });
});

describe('next line', () => {
  it('shows the next phrase with text under the current one, a count-down and a gap, and nothing at the end', async () => {
    await feedHostState(page, { script: '[2] one [3] two [timer|6] three [7]', timerTicks: 4, timerUnit: 2 });
    // [beat, display mode, nextLine, current text, next line]
    const cases = [
      [1, 0, true, '', 'one'],
      [5, 0, true, 'one', 'two'],
      [9, 1, true, 'two', 'three'],
      [17, 0, true, '3', 'three'],
      [17, 1, true, '3', 'three'],
      [21, 0, true, 'three', null],
      [24, 0, true, 'End of lyrics', null],
      [5, 0, false, 'one', null],
      [17, 1, false, '3', null],
    ];
    for (const [beat, displayMode, nextLine, text, next] of cases) {
      await feedHostState(page, { displayMode, nextLine });
      const shown = await at(beat);
      assert.deepEqual(
        [shown.text, shown.next, shown.nextPlaced || next === null],
        [text, next, true],
        beat + ' ' + displayMode,
      );
    }
    await feedHostState(page, { nextLine: true, displayMode: 0 });
  });
});

describe('meter', () => {
  it('recompiles when the meter changes', async () => {
    for (const row of [
      [{ script: '[3] moved [4]' }, 7, { beatsPerBar: 4 }, { className: 'message' }],
      [null, 7, { beatsPerBar: 3 }, { className: 'lyrics', text: 'moved' }],
      // 6/8 and 3/4 differ only in the beat unit.
      [{ script: '[2.3] beat [3]' }, 4.2, { beatsPerBar: 3, numerator: 6, denominator: 8 }, { text: 'beat' }],
      [null, 4.2, { beatsPerBar: 3, numerator: 3, denominator: 4 }, { className: 'message' }],
    ])
      await expectAt(row);
    await at(0, { beatsPerBar: 4, numerator: 4, denominator: 4 });
  });
});
