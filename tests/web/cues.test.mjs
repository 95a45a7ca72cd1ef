// The cue compiler, run inside the page that ships it.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { launchBrowser, openPage } from './support/browser.mjs';

let browser;
let session;

before(async () => {
  browser = await launchBrowser();
  session = await openPage(browser);
});
after(async () => {
  await browser?.close();
});

// Compiles with B = 4, 4 ticks of 1 beat unless the settings say otherwise.
function compile(script, settings = {}, beatsPerBar = 4) {
  return session.page.evaluate(({ script, settings, beatsPerBar }) => {
    const saved = transport.beatsPerBar;
    transport.beatsPerBar = beatsPerBar;
    try {
      return compileCues({ script, timerTicks: 4, timerUnit: 2, ...settings });
    } finally {
      transport.beatsPerBar = saved;
    }
  }, { script, settings, beatsPerBar });
}

const phrase = (start, end, text) => ({ start, end, text, countdown: false });
const countdown = (start, end) => ({ start, end, text: '', countdown: true });

describe('bar markers', () => {
  it('turns the text between two markers into one cue', async () => {
    assert.deepEqual(await compile('[1] Hello [2]'), [phrase(0, 4, 'Hello')]);
  });

  it('never shows text before the first marker or after the last one', async () => {
    assert.deepEqual(await compile('Hello [1] World'), []);
    assert.deepEqual(await compile(''), []);
    assert.deepEqual(await compile('no markers at all\nsecond line'), []);
  });

  it('keeps line breaks inside a phrase and trims its ends', async () => {
    assert.deepEqual(await compile('[3] a\nb\n[5]'), [phrase(8, 16, 'a\nb')]);
  });

  it('drops a phrase that a later marker with a smaller bar gives no time', async () => {
    assert.deepEqual(await compile('[5] a [3] b [7]'), [phrase(8, 24, 'b')]);
  });

  it('reads leading zeros and accepts bars from 1 to 1000000 only', async () => {
    assert.deepEqual(await compile('[007] x [8]'), [phrase(24, 28, 'x')]);
    assert.deepEqual(await compile('[1] a [1000000] b [1000001] c'),
      [phrase(0, 3999996, 'a')]);
    assert.deepEqual(await compile('[1] a [0] b [-2] c [ 5] d [chorus] e [2]'),
      [phrase(0, 4, 'a [0] b [-2] c [ 5] d [chorus] e')]);
  });

  it('finds a marker inside a rejected bracket and keeps an unclosed bracket as text', async () => {
    assert.deepEqual(await compile('[1] x [a[5] y [6'), [phrase(0, 16, 'x [a')]);
    assert.deepEqual(await compile('[1] tail [2] [ never closed'), [phrase(0, 4, 'tail')]);
  });

  it('places bars by the current beats per bar', async () => {
    assert.deepEqual(await compile('[3] a [4]', {}, 3), [phrase(6, 9, 'a')]);
    assert.deepEqual(await compile('[3] a [4]', {}, 4), [phrase(8, 12, 'a')]);
  });
});

describe('timer markers', () => {
  it('ends the phrase where the count-down starts and counts down to the bar', async () => {
    assert.deepEqual(await compile('[1] a [timer|3]'), [phrase(0, 4, 'a'), countdown(4, 8)]);
  });

  it('clamps a count-down that would start before the project to beat 0', async () => {
    assert.deepEqual(await compile('[1] a [timer|2]', { timerTicks: 8 }), [countdown(0, 4)]);
  });

  it('makes no count-down for bar 1', async () => {
    assert.deepEqual(await compile('[timer|1] a [2]'), [phrase(0, 4, 'a')]);
  });

  it('accepts the word timer in any case and nothing looser', async () => {
    assert.deepEqual(await compile('[1] a [Timer|3]'), [phrase(0, 4, 'a'), countdown(4, 8)]);
    assert.deepEqual(await compile('[1] a [TIMER|3]'), [phrase(0, 4, 'a'), countdown(4, 8)]);
    assert.deepEqual(await compile('[1] a [timer 3] b [timer|3 ] c [timer|] d [2]'),
      [phrase(0, 4, 'a [timer 3] b [timer|3 ] c [timer|] d')]);
  });

  it('sizes ticks by the timer unit', async () => {
    assert.deepEqual(await compile('[timer|5]', { timerUnit: 3 }), [countdown(14, 16)]);
    assert.deepEqual(await compile('[timer|5]', { timerUnit: 0 }), [countdown(0, 16)]);
    assert.deepEqual(await compile('[timer|5]', { timerUnit: 1 }), [countdown(8, 16)]);
    assert.deepEqual(await compile('[timer|5]', { timerUnit: 9 }), [countdown(12, 16)]);
  });

  it('sorts a clamped count-down before later phrases it overlaps', async () => {
    assert.deepEqual(await compile('[2] a [3] b [timer|4]', { timerTicks: 16 }),
      [countdown(0, 12), phrase(4, 8, 'a')]);
  });
});

describe('generated scripts', () => {
  it('always give sorted, non-empty cues that start at or after the first marker', async () => {
    const failures = await session.page.evaluate(() => {
      // A small deterministic generator, so a failure can be replayed.
      let seed = 12345;
      const random = () => (seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648;
      const pick = (items) => items[Math.floor(random() * items.length)];
      const pieces = ['la', ' ', '\n', 'word', '[', ']', '[x]', '[0]', '|', 'timer', 'é', '😀'];
      const problems = [];
      for (let round = 0; round < 300; round++) {
        let script = '';
        const length = Math.floor(random() * 40);
        for (let i = 0; i < length; i++) {
          const roll = random();
          if (roll < 0.2) script += '[' + (1 + Math.floor(random() * 30)) + ']';
          else if (roll < 0.3) script += '[' + pick(['timer', 'Timer', 'TIMER']) + '|' + (1 + Math.floor(random() * 30)) + ']';
          else script += pick(pieces);
        }
        const s = { script, timerTicks: 1 + Math.floor(random() * 12), timerUnit: Math.floor(random() * 4) };
        const list = compileCues(s);
        const firstMarker = script.search(/\[(?:timer\|)?\d+\]/i);
        const firstBar = firstMarker === -1 ? null : Number(/\d+/.exec(script.slice(firstMarker))[0]);
        list.forEach((cue, i) => {
          if (!(cue.end > cue.start)) problems.push([script, 'end not after start', cue]);
          if (i > 0 && list[i - 1].start > cue.start) problems.push([script, 'not sorted', cue]);
          if (!cue.countdown && (cue.text === '' || cue.text !== cue.text.trim())) problems.push([script, 'untrimmed text', cue]);
          if (cue.countdown && cue.text !== '') problems.push([script, 'count-down with text', cue]);
          if (cue.start < 0) problems.push([script, 'negative start', cue]);
        });
        if (firstMarker === -1 && list.length > 0) problems.push([script, 'cue without a marker']);
        // Text before the first marker never appears in a phrase.
        const lead = firstMarker > 0 ? script.slice(0, firstMarker).trim() : '';
        if (lead.length > 3 && list.some((cue) => !cue.countdown && cue.text.startsWith(lead) && firstBar !== null &&
          cue.start < (firstBar - 1) * transport.beatsPerBar)) {
          problems.push([script, 'text before the first marker shown']);
        }
      }
      return problems;
    });
    assert.deepEqual(failures, []);
  });

  it('keeps equal starts in the order they were made', async () => {
    // Phrase `a` and the clamped count-down both start at beat 0; the phrase was made first.
    assert.deepEqual(await compile('[1] a [2] b [timer|3]', { timerTicks: 12 }),
      [phrase(0, 4, 'a'), countdown(0, 8)]);
  });
});
