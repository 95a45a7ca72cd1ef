// The cue compiler: every script's cues, on tables (in Node; the page ships the same code).
import { it } from 'node:test';
import assert from 'node:assert/strict';
import { compiler } from './support/compiler.mjs';

// Compiles with 4 ticks of 1 beat unless the settings say otherwise, in a meter [numerator, denominator].
function compile(script, settings = {}, [numerator, denominator] = [4, 4]) {
  Object.assign(compiler.transport, { beatsPerBar: (numerator * 4) / denominator, numerator, denominator });
  return JSON.parse(JSON.stringify(compiler.compileCues({ script, timerTicks: 4, timerUnit: 2, ...settings })));
}

const P = (start, end, text) => ({ start, end, text, countdown: false });
const C = (start, end) => ({ start, end, text: '', countdown: true });

// Scripts written before beat markers existed, with the cues they gave then:
// [script, cues, settings, meter].
const kScriptsBeforeBeats = [
  ['[1] Hello [2]', [P(0, 4, 'Hello')]],
  // Text before the first marker or after the last one is never shown.
  ['Hello [1] World', []],
  ['', []],
  ['no markers at all\nsecond line', []],
  ['[3] a\nb\n[5]', [P(8, 16, 'a\nb')]],
  // A later marker with a smaller bar gives the phrase before it no time.
  ['[5] a [3] b [7]', [P(8, 24, 'b')]],
  ['[007] x [8]', [P(24, 28, 'x')]],
  ['[1] a [1000000] b [1000001] c', [P(0, 3999996, 'a')]],
  ['[1] a [0] b [-2] c [ 5] d [chorus] e [2]', [P(0, 4, 'a [0] b [-2] c [ 5] d [chorus] e')]],
  // A marker inside a rejected bracket is found; an unclosed bracket is text.
  ['[1] x [a[5] y [6', [P(0, 16, 'x [a')]],
  ['[1] x [[5] y [6', [P(0, 16, 'x [')]],
  ['[1] tail [2] [ never closed', [P(0, 4, 'tail')]],
  ['[3] a [4]', [P(6, 9, 'a')], {}, [3, 4]],
  ['[3] a [4]', [P(8, 12, 'a')]],
  // The phrase before a timer ends where its count-down starts.
  ['[1] a [timer|3]', [P(0, 4, 'a'), C(4, 8)]],
  ['[1] a [Timer|3]', [P(0, 4, 'a'), C(4, 8)]],
  ['[1] a [TIMER|3]', [P(0, 4, 'a'), C(4, 8)]],
  ['[1] a [timer|2]', [C(0, 4)], { timerTicks: 8 }],
  ['[timer|1] a [2]', [P(0, 4, 'a')]],
  ['[1] a [timer 3] b [timer|3 ] c [timer|] d [2]', [P(0, 4, 'a [timer 3] b [timer|3 ] c [timer|] d')]],
  ['[timer|5]', [C(14, 16)], { timerUnit: 3 }],
  ['[timer|5]', [C(0, 16)], { timerUnit: 0 }],
  ['[timer|5]', [C(8, 16)], { timerUnit: 1 }],
  ['[timer|5]', [C(12, 16)], { timerUnit: 9 }],
  // A clamped count-down sorts before later phrases; equal starts keep their order.
  ['[2] a [3] b [timer|4]', [C(0, 12), P(4, 8, 'a')], { timerTicks: 16 }],
  ['[1] a [2] b [timer|3]', [P(0, 4, 'a'), C(0, 8)], { timerTicks: 12 }],
];

// [meter, marker, start in quarter notes]: a beat is the meter's beat unit, and a beat
// beyond the bar's last one is that last beat, so a marker never leaves its bar.
// prettier-ignore
const kPlaced = [
  [[4, 4], '[2.3]', 6], [[4, 4], '[2.1]', 4], [[4, 4], '[2.4]', 7], [[4, 4], '[2.5]', 7], [[4, 4], '[2.007]', 7],
  [[4, 4], '[2.' + '9'.repeat(400) + ']', 7], [[4, 4], '[1000000.4]', 3999999], [[3, 4], '[2.3]', 5],
  [[3, 4], '[2.4]', 5], [[6, 8], '[2.3]', 4], [[6, 8], '[2.6]', 5.5], [[6, 8], '[2.7]', 5.5], [[7, 8], '[3.7]', 10],
  [[7, 8], '[3.8]', 10], [[7, 8], '[1.2]', 0.5], [[5, 16], '[3.5]', 3.5], [[5, 16], '[3.2]', 2.75],
  [[5, 16], '[3.6]', 3.5],
];
const kBeatScripts = [
  ...kPlaced.map(([meter, marker, start]) => ['[1] a ' + marker, [P(0, start, 'a')], {}, meter]),
  // A beat of 0, a missing beat, a bar of 0 or beyond the limit keep the bracket as text.
  [
    '[1] a [2.0] b [2.] c [0.1] d [1000001.1] e [2..1] f [2.1.1] g [2]',
    [P(0, 4, 'a [2.0] b [2.] c [0.1] d [1000001.1] e [2..1] f [2.1.1] g')],
  ],
  ['[1] a [timer|3.3] b [4]', [P(0, 6, 'a'), C(6, 10), P(10, 12, 'b')]],
  ['[1] a [TIMER|2.4] b [3]', [P(0, 2.5, 'a'), C(2.5, 4.5), P(4.5, 6, 'b')], { timerUnit: 3 }, [6, 8]],
  // A meter change moves beat markers, never past the next bar: 6/8 and 3/4 share the bar length.
  ['[2.3] a [2.6] b [3]', [P(4, 5.5, 'a'), P(5.5, 6, 'b')], {}, [6, 8]],
  ['[2.3] a [2.6] b [3]', [P(5, 6, 'b')], {}, [3, 4]],
  ['[2.3] a [2.6] b [3]', [P(6, 7, 'a'), P(7, 8, 'b')], {}, [4, 4]],
];

for (const [name, table] of [
  ['gives every script written before beat markers the cues it gave then', kScriptsBeforeBeats],
  ['places phrases and count-downs on the beats of every meter', kBeatScripts],
]) {
  it(name, () => {
    for (const [script, cues, settings, meter] of table)
      assert.deepEqual(compile(script, settings, meter), cues, script + ' in ' + (meter ?? '4,4'));
  });
}
