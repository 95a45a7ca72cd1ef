// Lyrics files in and out (web/lyricsio.js), checked against mido, an independent MIDI
// library: mido writes the reference files the importer reads, and reads what the exporter writes.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

const lyricsIO = createRequire(import.meta.url)('../../web/lyricsio.js');
const kMido = new URL('./support/midofiles.py', import.meta.url).pathname;
// Debian's python3-mido installs for the system interpreter, not for whatever python3 is first.
const mido = (args, input) => execFileSync('/usr/bin/python3', [kMido, ...args], { input, encoding: 'utf8' });
const ascii = (text) => [...text].map((c) => c.charCodeAt(0));
const u32 = (n) => [n >>> 24, (n >>> 16) & 0xff, (n >>> 8) & 0xff, n & 0xff];

const lyric = (delta, text) => ['lyrics', delta, { text }];
const text = (delta, t) => ['text', delta, { text: t }];
const meter = (delta, numerator, denominator) => ['time_signature', delta, { numerator, denominator }];
const notes = (velocity, length) => [
  ['note_on', 0, { note: 60, velocity }],
  ['note_on', length, { note: 60, velocity: 0 }],
];
const end = (delta) => ['end_of_track', delta, {}];

// Reference files: [name, format, ticks per quarter, charset, tracks, expected script].
// prettier-ignore
const kReferenceFiles = [
  ['spaced-lyrics.mid', 1, 480, 'utf-8', [
    [meter(0, 4, 4), ['set_tempo', 0, { tempo: 500000 }]],
    [lyric(0, 'Hel'), ...notes(80, 240), lyric(0, 'lo '), ...notes(80, 240), lyric(0, 'world\r'), lyric(2400, 'How '),
      lyric(480, 'are '), lyric(480, 'you?\r'), end(960)],
  ], '[1] Hello world\n[2.3] How are you?\n[3.3]'],
  ['karaoke.kar', 0, 96, 'latin1', [
    [meter(0, 3, 4), text(0, '@KMIDI KARAOKE FILE'), text(0, '@TTwinkle'), text(0, '\\Twin'),
      ...notes(90, 48), text(0, 'kle '), ...notes(90, 48), text(0, 'twin'), text(48, 'kle'), text(144, '/lit'), text(48, 'tle '), text(48, 'star'),
      text(288, '\\How '), text(48, 'I '), text(48, 'won'), text(32, 'der')],
  ], '[1] Twinkle twinkle\n[2] little star\n\n[3.2] How I wonder\n[4]'],
  ['meters-syllables.mid', 1, 6, 'utf-8', [
    [meter(0, 4, 4), meter(48, 3, 4), meter(36, 6, 8)],
    [lyric(0, 'Sing-'), lyric(6, 'ing'), lyric(6, 'loud\r'), lyric(42, 'Three'), lyric(6, 'four\r'),
      lyric(33, 'Six'), lyric(3, 'eight\r'), lyric(7, 'last'), end(14)],
  ], '[1] Singing loud\n[3.2] Three four\n[5.4] Six eight\n[6] last\n[6.6]'],
  ['latin1.mid', 1, 24, 'latin1', [[], [lyric(0, 'Café '), lyric(24, 'crème\r')]], '[1] Café crème\n[2]'],
  ['utf8-and-text.mid', 1, 960, 'utf-8', [
    [text(0, 'Sequenced by someone')],
    [lyric(0, 'При'), lyric(480, 'вет '), lyric(480, 'мир\nДа'), lyric(1920, 'нет\r')],
  ], '[1] Привет мир\n[1.2] Данет\n[2]'],
];

// A one-track file; `size` overrides the track's stated length, `tracks` the header's count.
function smf(division, body, size = null, tracks = 1) {
  const header = [...ascii('MThd'), ...u32(6), 0, 0, 0, tracks, division >> 8, division & 0xff];
  return [...header, ...ascii('MTrk'), ...u32(size ?? body.length), ...body];
}

// A file of exactly `total` bytes whose track is one system-exclusive event.
function bigTrack(total) {
  const bytes = new Uint8Array(total);
  const data = total - 22 - 6;
  const length = [0x80 | (data >>> 21), 0x80 | ((data >>> 14) & 0x7f), 0x80 | ((data >>> 7) & 0x7f), data & 0x7f];
  bytes.set(smf(96, [0, 0xf0, ...length], total - 22));
  return bytes;
}

// prettier-ignore
const kHostile = [
  ['an empty file', [], 'ioNotLyrics'],
  ['binary noise', [1, 2, 0, 3, 255], 'ioNotLyrics'],
  ['a cut header', ascii('MThd\0\0\0\x06\0'), 'ioDamaged'],
  ['zero ticks per quarter', smf(0, [0, 0xff, 5, 1, 65]), 'ioDamaged'],
  ['SMPTE timing', smf(0xe728, [0, 0xff, 5, 1, 65]), 'ioSmpte'],
  ['a track longer than the file', smf(96, [0, 0xff, 5, 1, 65], 100), 'ioDamaged'],
  ['a meta event longer than its track', smf(96, [0, 0xff, 5, 9, 65]), 'ioDamaged'],
  ['running status with no status before it', smf(96, [0, 60, 100]), 'ioDamaged'],
  ['a five-byte delta', smf(96, [0x81, 0x81, 0x81, 0x81, 0x01, 0xff, 5, 1, 65]), 'ioDamaged'],
  ['two tracks promised, one given', smf(96, [0, 0xff, 5, 1, 65], null, 2), 'ioDamaged'],
  ['notes only', smf(96, [0, 0x90, 60, 100, 10, 60, 0]), 'ioNoLyrics'],
  ['karaoke headers only', smf(96, [0, 0xff, 1, 2, 64, 84]), 'ioNoLyrics'],
  ['a 4 MiB track of one event', bigTrack(4 * 1024 * 1024), 'ioNoLyrics'],
  ['one byte more than 4 MiB', bigTrack(4 * 1024 * 1024 + 1), 'ioTooLarge'],
  ['plain text', ascii('just words\nno times'), 'ioNotLyrics'],
  ['an LRC with metadata only', ascii('[ti:Song]\n[ar:Someone]\nwords'), 'ioNoTimes'],
  ['untimed text named .LRC', ascii('la la'), 'ioNoTimes', 'song.LRC'],
];

const importBytes = (bytes, name) => lyricsIO.readLyricsFile(Uint8Array.from(bytes), name);
function lrcScript(source, { tempo = 120, startBar = 1, numerator = 4 } = {}) {
  const read = lyricsIO.readLyricsFile(new TextEncoder().encode(source), 'song.lrc');
  return read.error
    ? read
    : lyricsIO.lrcToScript(read.lines, { tempo, startBar, meter: { numerator, denominator: 4 } });
}

let folder;
before(() => {
  folder = mkdtempSync(join(tmpdir(), 'kelo-lyrics-'));
  mido(['write', folder], JSON.stringify(kReferenceFiles));
});
after(() => rmSync(folder, { recursive: true, force: true }));

describe('importing MIDI files that mido wrote', () => {
  for (const [name, , , , , script] of kReferenceFiles) {
    it(name, () => assert.deepEqual(importBytes(readFileSync(join(folder, name)), name), { kind: 'midi', script }));
  }

  it('refuses every truncation of a valid file with a message', () => {
    const whole = readFileSync(join(folder, kReferenceFiles[0][0]));
    for (let length = 0; length < whole.length; length++) {
      const result = importBytes(whole.subarray(0, length), 'cut.mid');
      assert.ok(result.error, 'cut at ' + length + ' gives ' + JSON.stringify(result));
    }
  });

  for (const [name, bytes, error, fileName = 'file.mid'] of kHostile) {
    it(name + ' gives ' + error, () => assert.deepEqual(importBytes(bytes, fileName), { error }));
  }
});

describe('importing LRC', () => {
  // [case, file, options, script or error]
  // prettier-ignore
  const kCases = [
    ['several tags per line, metadata ignored',
      '[ti:Song]\n[ar:x]\n[00:00.00]One\n[00:02.00][00:06.00]Two\n[00:04.00]Three\n[00:08.00]', {},
      '[1] One\n[2] Two\n[3] Three\n[4] Two\n[5]'],
    ['a positive offset shows lines earlier; colon fractions', '[offset:+500]\n[00:01.00]A\n[00:03:00]B', {},
      '[1.2] A\n[2.2] B\n[3]'],
    ['word tags give line times', '[00:01.000]<00:01.000>Word <00:01.500>by <00:02.000>word\n<00:03.00>Only words',
      {}, '[1.3] Word by word\n[2.3] Only words\n[3]'],
    ['a starting bar, 3/4 and 90 BPM', '\uFEFF[00:02]Hi\r\n[01:00.5]Later\r\n', { tempo: 90, startBar: 9, numerator: 3 },
      '[10] Hi\n[39.2] Later\n[40]'],
    ['times past bar 1000000', '[9999:00.00]Late', { tempo: 999 }, { error: 'ioTooLong' }],
    ['empty lines end the phrase before them', '[00:00.00]\n[00:01.00]A\n[00:02.00]\n[00:02.50]\n[00:03.00]B\n', {},
      '[1.3] A\n[2]\n[2.3] B\n[3]'],
  ];
  for (const [name, source, options, script] of kCases) {
    it(name, () => assert.deepEqual(lrcScript(source, options), script.error ? script : { script }));
  }
});

describe('exported MIDI read by mido', () => {
  // Phrases as the page compiles them, in beats, with a count-down that the files leave out.
  const kCues = [
    [0, 4, 'Hello dear world'],
    [6, 12, 'Second line\nthird'],
    [12, 16, ''],
    [16, 20, 'Ёлка'],
  ].map(([start, end, text]) => ({ start, end, text, countdown: text === '' }));
  const kWords = ['Hello ', 'dear ', 'world\r', 'Second ', 'line\r', 'third\r', 'Ёлка\r'];
  for (const [name, spread, ticks] of [
    ['at phrase starts', false, [0, 0, 0, 2880, 2880, 2880, 7680]],
    ['spread as the fill reaches each word', true, [0, 720, 1320, 2880, 4066, 4913, 7680]],
  ]) {
    it(name, () => {
      const file = join(folder, 'export-' + spread + '.mid');
      const options = { meter: { numerator: 6, denominator: 8 }, tempo: 96.5, spread, title: 'Hello' };
      writeFileSync(file, lyricsIO.writeMidi(kCues, options));
      const [read] = JSON.parse(mido(['read', file]));
      assert.deepEqual([read.format, read.ticks], [1, 480]);
      const signature = { numerator: 6, denominator: 8, clocks_per_click: 24, notated_32nd_notes_per_beat: 8 };
      assert.deepEqual(read.events, [
        [0, 0, 'track_name', { name: 'Hello' }],
        [0, 0, 'time_signature', signature],
        [0, 0, 'set_tempo', { tempo: 621762 }],
        [0, 0, 'end_of_track', {}],
        [1, 0, 'track_name', { name: 'Lyrics' }],
        ...ticks.map((tick, i) => [1, tick, 'lyrics', { text: kWords[i] }]),
        [1, 9600, 'end_of_track', {}],
      ]);
    });
  }
});

for (const tempo of [60, 96.5, 180]) {
  it('round-trips LRC at ' + tempo + ' BPM, every line back on its beat', () => {
    const cues = [
      { start: 0, end: 6, text: 'First line' },
      { start: 6, end: 12, text: 'Second' },
      { start: 16, end: 21, text: 'Third' },
    ];
    const lrc = lyricsIO.writeLrc(cues, { tempo, spread: false });
    const times = [...lrc.matchAll(/\[(\d+):(\d+\.\d+)\]/g)].map((m) => Number(m[1]) * 60 + Number(m[2]));
    [0, 6, 12, 16, 21].forEach((beat, i) => assert.ok(Math.abs(times[i] - (beat * 60) / tempo) <= 0.005, lrc));
    assert.deepEqual(lrcScript(lrc, { tempo }), { script: '[1] First line\n[2.3] Second\n[4]\n[5] Third\n[6.2]' });
  });
}

it('names files after the first line with words, without markers or characters a file system refuses', () => {
  assert.equal(lyricsIO.fileName('[1] [timer|3]\n  [2] Hi: you/me? ...\nnext', 'mid'), 'Hi you me.mid');
  assert.equal(lyricsIO.fileName('[4]\n\n', 'lrc'), 'Lyrics.lrc');
});
