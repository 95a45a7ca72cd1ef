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

// Compiles with B = 4, 4 ticks of 1 beat unless the settings say otherwise. The meter is
// beats per bar in quarter notes, or [numerator, denominator].
function compile(script, settings = {}, meter = 4) {
  const [numerator, denominator] = typeof meter === 'number' ? [meter, 4] : meter;
  const t = { beatsPerBar: numerator * 4 / denominator, numerator, denominator };
  return session.page.evaluate(({ script, settings, t }) => {
    const saved = { ...transport };
    Object.assign(transport, t);
    try {
      return compileCues({ script, timerTicks: 4, timerUnit: 2, ...settings });
    } finally {
      Object.assign(transport, saved);
    }
  }, { script, settings, t });
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

describe('beat markers', () => {
  // [meter, marker, start in quarter notes]: a beat is the meter's beat unit, and a beat
  // beyond the bar's last one is that last beat, so a marker never leaves its bar.
  const kPlaced = [
    [[4, 4], '[2.3]', 6], [[4, 4], '[2.1]', 4], [[4, 4], '[2.4]', 7], [[4, 4], '[2.5]', 7],
    [[4, 4], '[2.007]', 7], [[4, 4], '[2.' + '9'.repeat(400) + ']', 7], [[4, 4], '[1000000.4]', 3999999],
    [[3, 4], '[2.3]', 5], [[3, 4], '[2.4]', 5],
    [[6, 8], '[2.3]', 4], [[6, 8], '[2.6]', 5.5], [[6, 8], '[2.7]', 5.5],
    [[7, 8], '[3.7]', 10], [[7, 8], '[3.8]', 10], [[7, 8], '[1.2]', 0.5],
    [[5, 16], '[3.5]', 3.5], [[5, 16], '[3.2]', 2.75], [[5, 16], '[3.6]', 3.5],
  ];
  it('places a marker on a beat of its bar in every meter', async () => {
    for (const [meter, marker, start] of kPlaced) {
      const [cue] = await compile('[1] a ' + marker, {}, meter);
      assert.equal(cue?.end, start, marker + ' in ' + meter.join('/'));
    }
  });

  it('keeps a beat of 0, a missing beat, a bar of 0 and a bar beyond the limit as text', async () => {
    assert.deepEqual(await compile('[1] a [2.0] b [2.] c [0.1] d [1000001.1] e [2..1] f [2.1.1] g [2]'),
      [phrase(0, 4, 'a [2.0] b [2.] c [0.1] d [1000001.1] e [2..1] f [2.1.1] g')]);
  });

  it('counts a timer down to a beat and ends the phrase before it where the count-down starts', async () => {
    assert.deepEqual(await compile('[1] a [timer|3.3] b [4]'), [phrase(0, 6, 'a'), countdown(6, 10), phrase(10, 12, 'b')]);
    assert.deepEqual(await compile('[1] a [TIMER|2.4] b [3]', { timerUnit: 3 }, [6, 8]),
      [phrase(0, 2.5, 'a'), countdown(2.5, 4.5), phrase(4.5, 6, 'b')]);
  });

  it('moves beat markers with the meter, never past the next bar', async () => {
    const script = '[2.3] a [2.6] b [3]';
    assert.deepEqual(await compile(script, {}, [6, 8]), [phrase(4, 5.5, 'a'), phrase(5.5, 6, 'b')]);
    // The same bar length in quarter notes, but quarter-note beats: beat 6 is beat 3.
    assert.deepEqual(await compile(script, {}, [3, 4]), [phrase(5, 6, 'b')]);
    assert.deepEqual(await compile(script, {}, [4, 4]), [phrase(6, 7, 'a'), phrase(7, 8, 'b')]);
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
