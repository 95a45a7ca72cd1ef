// The cue compiler against properties on random scripts. Short in CI; KELO_FUZZ_SECONDS=3600
// runs it for an hour. A failing script is printed with its seed, to become a case of cues.test.mjs.
import { it } from 'node:test';
import assert from 'node:assert/strict';
import { compiler as page } from './support/compiler.mjs';

// A seeded xorshift generator, so that every failure can be replayed.
function generator(seed) {
  let x = seed >>> 0 || 1;
  const next = () => (x = ((x = ((x ^= x << 13) >>> 0) ^ (x >>> 17)) ^ (x << 5)) >>> 0) / 4294967296;
  return { next, pick: (list) => list[Math.floor(next() * list.length)] };
}

const kPieces = [
  ...'[ ] [1] [2] [0] [timer| [TIMER|3] [1000000] [1000001] [-1] [1.5] [007] word é 😀 | timer'.split(' '),
  ...[' ', '\n', '\t', '\ud800', '[99999999999999999999]'],
];

function randomInput(random) {
  let script = '';
  const length = Math.floor(random.next() * 60);
  for (let i = 0; i < length; i++) {
    script += random.next() < 0.3 ? String(Math.floor(random.next() * 300)) + ']' : random.pick(kPieces);
  }
  return {
    script: random.next() < 0.02 ? random.pick([undefined, null, 5, {}]) : script,
    timerTicks: random.pick([1, 2, 4, 256, 0, -1, 1e9]),
    timerUnit: random.pick([0, 1, 2, 3, 7, -1, undefined]),
    beatsPerBar: random.pick([4, 3, 1.5, 0.25, 7, 12]),
  };
}

function check(input) {
  page.transport.beatsPerBar = input.beatsPerBar;
  const cues = page.compileCues(input);
  const script = typeof input.script === 'string' ? input.script : '';
  // A marker closes at most one phrase and a timer adds its countdown.
  assert.ok(cues.length <= 2 * (script.match(/\[/g) || []).length, 'at most two cues per bracket');
  cues.forEach((cue, i) => {
    assert.ok(Number.isFinite(cue.start) && Number.isFinite(cue.end), 'finite times');
    assert.ok(cue.start >= 0 && cue.end > cue.start, 'a cue lasts and starts at the song or later');
    if (i > 0) assert.ok(cues[i - 1].start <= cue.start, 'ordered by start');
    if (cue.countdown) assert.equal(cue.text, '');
    else
      assert.ok(cue.text === cue.text.trim() && cue.text !== '' && script.includes(cue.text), 'a phrase of the script');
  });
}

it('compiles every random script into ordered, lasting cues taken from its text', () => {
  const seconds = Number(process.env.KELO_FUZZ_SECONDS || 2);
  const until = Date.now() + seconds * 1000;
  let runs = 0;
  for (let seed = Number(process.env.KELO_FUZZ_SEED || 1); Date.now() < until; seed++, runs++) {
    const input = randomInput(generator(seed));
    try {
      check(input);
    } catch (error) {
      error.message += '\nseed ' + seed + ': ' + JSON.stringify(input);
      throw error;
    }
  }
  assert.ok(runs > 100, 'ran ' + runs + ' scripts');
});
