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

// [script, settings, beats per bar, cues]: each row one rule of the compiler.
const kCases = [
  // Bar markers: the text between two markers is one cue, trimmed, line breaks kept.
  ['[1] Hello [2]', {}, 4, [phrase(0, 4, 'Hello')]],
  ['Hello [1] World', {}, 4, []],
  ['', {}, 4, []],
  ['no markers at all\nsecond line', {}, 4, []],
  ['[3] a\nb\n[5]', {}, 4, [phrase(8, 16, 'a\nb')]],
  // A later marker with a smaller bar leaves the phrase before it no time.
  ['[5] a [3] b [7]', {}, 4, [phrase(8, 24, 'b')]],
  // Leading zeros; bars from 1 to 1000000 only; anything else in brackets is text.
  ['[007] x [8]', {}, 4, [phrase(24, 28, 'x')]],
  ['[1] a [1000000] b [1000001] c', {}, 4, [phrase(0, 3999996, 'a')]],
  ['[1] a [0] b [-2] c [ 5] d [chorus] e [2]', {}, 4, [phrase(0, 4, 'a [0] b [-2] c [ 5] d [chorus] e')]],
  ['[1] x [a[5] y [6', {}, 4, [phrase(0, 16, 'x [a')]],
  ['[1] tail [2] [ never closed', {}, 4, [phrase(0, 4, 'tail')]],
  ['[3] a [4]', {}, 3, [phrase(6, 9, 'a')]],
  // Timer markers end the phrase where the count-down starts and count down to the bar.
  ['[1] a [timer|3]', {}, 4, [phrase(0, 4, 'a'), countdown(4, 8)]],
  ['[1] a [Timer|3]', {}, 4, [phrase(0, 4, 'a'), countdown(4, 8)]],
  ['[1] a [TIMER|3]', {}, 4, [phrase(0, 4, 'a'), countdown(4, 8)]],
  ['[1] a [timer 3] b [timer|3 ] c [timer|] d [2]', {}, 4, [phrase(0, 4, 'a [timer 3] b [timer|3 ] c [timer|] d')]],
  // Clamped to beat 0 before the project; none for bar 1; sorted before what it overlaps.
  ['[1] a [timer|2]', { timerTicks: 8 }, 4, [countdown(0, 4)]],
  ['[timer|1] a [2]', {}, 4, [phrase(0, 4, 'a')]],
  ['[2] a [3] b [timer|4]', { timerTicks: 16 }, 4, [countdown(0, 12), phrase(4, 8, 'a')]],
  // Equal starts keep the order they were made in: the phrase first.
  ['[1] a [2] b [timer|3]', { timerTicks: 12 }, 4, [phrase(0, 4, 'a'), countdown(0, 8)]],
  // Ticks sized by the timer unit; an unknown unit counts as quarters.
  ['[timer|5]', { timerUnit: 3 }, 4, [countdown(14, 16)]],
  ['[timer|5]', { timerUnit: 0 }, 4, [countdown(0, 16)]],
  ['[timer|5]', { timerUnit: 1 }, 4, [countdown(8, 16)]],
  ['[timer|5]', { timerUnit: 9 }, 4, [countdown(12, 16)]],
];

describe('the cue compiler', () => {
  for (const [script, settings, beatsPerBar, expected] of kCases) {
    it(JSON.stringify(script) + ' ' + JSON.stringify(settings) + ' at ' + beatsPerBar + ' beats per bar', async () => {
      assert.deepEqual(await compile(script, settings, beatsPerBar), expected);
    });
  }
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
});
