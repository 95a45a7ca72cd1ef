'use strict';
// Lyrics in and out of the editor: reads karaoke and lyric MIDI files and LRC files into a
// script with bar (and beat) markers, and writes the compiled cues as MIDI and LRC.
// Pure functions on bytes, text and numbers, so that Node can test them too; the page's
// controls are in lyricsfile.js. Nothing here throws for bad input: readers answer
// { error: key } with a key of the interface texts.

const lyricsIO = (() => {
  const kMaxFileBytes = 4 * 1024 * 1024;
  const kMaxScriptLength = 4 * 1024 * 1024;
  const kMaxBar = 1000000;
  const kExportTicksPerQuarter = 480;
  const kMarkerTokens = /\[(?:timer\|)?\d+(?:\.\d*)?\]/gi;

  class BadFile extends Error {
    constructor(key) {
      super(key);
      this.key = key;
    }
  }

  // -------------------------------------------------------------------------
  // Text

  function decodeText(bytes) {
    try {
      return new TextDecoder('utf-8', { fatal: true }).decode(bytes);
    } catch (error) {
      return new TextDecoder('latin1').decode(bytes);
    }
  }

  // The texts of events (byte ranges { at, size } of one track, in order), with one decision
  // for all: UTF-8 when every event is valid UTF-8, else Latin-1, so that a Latin-1 file that
  // happens to hold one valid UTF-8 sequence reads the same. Single-byte text is decoded in
  // one piece and cut, which keeps large files of tiny events fast.
  function decodeAll(bytes, events) {
    if (events.length === 0) return [];
    const base = events[0].at;
    const last = events[events.length - 1];
    const cut = () => {
      const all = new TextDecoder('latin1').decode(bytes.subarray(base, last.at + last.size));
      return events.map((e) => all.slice(e.at - base, e.at - base + e.size));
    };
    const ascii = events.every((e) => {
      for (let i = e.at; i < e.at + e.size; i++) if (bytes[i] >= 0x80) return false;
      return true;
    });
    if (ascii) return cut();
    const strict = new TextDecoder('utf-8', { fatal: true });
    try {
      return events.map((e) => strict.decode(bytes.subarray(e.at, e.at + e.size)).replace(/^\uFEFF/, ''));
    } catch (error) {
      return cut();
    }
  }

  // -------------------------------------------------------------------------
  // Positions to markers. A meter map is a list of segments, each starting a new bar:
  // { start, barLength, beatLength, firstBar } in one unit (ticks or quarter notes).

  // Binary search: a file may hold as many time signatures as lyrics.
  function segmentAt(meter, position) {
    let low = 0;
    let high = meter.length - 1;
    while (low < high) {
      const middle = (low + high + 1) >> 1;
      if (meter[middle].start <= position) low = middle;
      else high = middle - 1;
    }
    return meter[low];
  }

  // The beat nearest to `position` (or the next one, with `up`), as a bar, a beat index
  // within the bar (0 for the bar's first beat) and the beat's own position.
  function snap(meter, position, up) {
    const segment = segmentAt(meter, position);
    const offset = Math.max(0, position - segment.start);
    let barIndex = Math.floor(offset / segment.barLength + 1e-9);
    const within = offset - barIndex * segment.barLength;
    const exact = within / segment.beatLength;
    let beat = up ? Math.ceil(exact - 1e-6) : Math.round(exact);
    if (beat * segment.beatLength >= segment.barLength - 1e-9) {
      barIndex += 1;
      beat = 0;
    }
    return {
      bar: segment.firstBar + barIndex,
      beat,
      at: segment.start + barIndex * segment.barLength + beat * segment.beatLength,
      beatLength: segment.beatLength,
    };
  }

  function markerText(place) {
    if (place.bar > kMaxBar) throw new BadFile('ioTooLong');
    return place.beat === 0 ? '[' + place.bar + ']' : '[' + place.bar + '.' + (place.beat + 1) + ']';
  }

  // Places each line at its nearest beat, one beat after the line before at least, so that
  // no line loses its time to rounding.
  function placeLines(meter, positions) {
    const places = [];
    let previous = null;
    for (const position of positions) {
      let place = snap(meter, position, false);
      if (previous && place.at <= previous.at) place = snap(meter, previous.at + previous.beatLength, false);
      places.push(place);
      previous = place;
    }
    return places;
  }

  // Lines { text, paragraph } with their places, then the closing marker on its own line
  // (a phrase needs a following marker to have an end).
  function composeScript(lines, places, end) {
    const out = [];
    lines.forEach((line, i) => {
      if (line.paragraph && out.length > 0) out.push('');
      out.push(line.text === '' ? markerText(places[i]) : markerText(places[i]) + ' ' + line.text);
    });
    out.push(markerText(end));
    const script = out.join('\n');
    if (script.length > kMaxScriptLength) throw new BadFile('ioTooLarge');
    return script;
  }

  // Where the last line ends: at `until` (rounded up to a beat) when that lies after the
  // last word, else at the bar after the one holding the last word.
  function endOfLines(meter, places, lastWord, until) {
    const last = places[places.length - 1];
    if (until !== null && until > lastWord) {
      const end = snap(meter, until, true);
      if (end.at > last.at) return end;
    }
    const segment = segmentAt(meter, lastWord);
    const bar = segment.firstBar + Math.floor(Math.max(0, lastWord - segment.start) / segment.barLength + 1e-9) + 1;
    return { bar: Math.max(bar, last.bar + 1), beat: 0 };
  }

  // -------------------------------------------------------------------------
  // Standard MIDI files

  function readMidiEvents(bytes) {
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    const length = bytes.length;
    const need = (end) => {
      if (end > length) throw new BadFile('ioDamaged');
    };
    need(14);
    const headerLength = view.getUint32(4);
    if (headerLength < 6) throw new BadFile('ioDamaged');
    need(8 + headerLength);
    const format = view.getUint16(8);
    const trackCount = view.getUint16(10);
    const division = view.getUint16(12);
    if (division & 0x8000) throw new BadFile('ioSmpte');
    if (division === 0 || format > 2) throw new BadFile('ioDamaged');

    const tracks = [];
    let at = 8 + headerLength;
    while (tracks.length < trackCount) {
      need(at + 8);
      const type = String.fromCharCode(bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]);
      const size = view.getUint32(at + 4);
      need(at + 8 + size);
      if (type === 'MTrk') tracks.push(readTrack(bytes, at + 8, at + 8 + size));
      at += 8 + size;
    }
    return { ticksPerQuarter: division, tracks };
  }

  // Keeps the meta events that matter here (text, lyric, time signature) with their
  // absolute ticks, and the track's end.
  function readTrack(bytes, start, end) {
    const events = [];
    let p = start;
    let tick = 0;
    let running = 0;
    const quantity = () => {
      let value = 0;
      for (let i = 0; i < 4; i++) {
        if (p >= end) throw new BadFile('ioDamaged');
        const byte = bytes[p++];
        value = value * 128 + (byte & 0x7f);
        if (!(byte & 0x80)) return value;
      }
      throw new BadFile('ioDamaged');
    };
    const skip = (count) => {
      if (p + count > end) throw new BadFile('ioDamaged');
      p += count;
    };
    while (p < end) {
      tick += quantity();
      if (p >= end) throw new BadFile('ioDamaged');
      const status = bytes[p];
      if (status === 0xff) {
        p += 1;
        if (p >= end) throw new BadFile('ioDamaged');
        const type = bytes[p++];
        const size = quantity();
        const dataStart = p;
        skip(size);
        if (type === 0x2f) return { events, end: tick };
        if (type === 0x01 || type === 0x05 || type === 0x58) {
          events.push({ tick, type, at: dataStart, size });
        }
      } else if (status === 0xf0 || status === 0xf7) {
        p += 1;
        skip(quantity());
      } else {
        if (status >= 0x80) {
          if (status >= 0xf0) throw new BadFile('ioDamaged');
          running = status;
          p += 1;
        } else if (running === 0) {
          throw new BadFile('ioDamaged');
        }
        const kind = running & 0xf0;
        skip(kind === 0xc0 || kind === 0xd0 ? 1 : 2);
      }
    }
    return { events, end: tick };
  }

  // A time signature starts a new bar where it stands, even in the middle of a bar.
  function meterOfMidi(bytes, tracks, ticksPerQuarter) {
    const signatures = [{ tick: 0, numerator: 4, denominator: 4 }];
    for (const track of tracks) {
      for (const { type, tick, at, size } of track.events) {
        if (type !== 0x58 || size < 2 || bytes[at] === 0 || bytes[at + 1] > 8) continue;
        signatures.push({ tick, numerator: bytes[at], denominator: 2 ** bytes[at + 1] });
      }
    }
    signatures.sort((a, b) => a.tick - b.tick);
    const meter = [];
    for (const { tick, numerator, denominator } of signatures) {
      const beatLength = (ticksPerQuarter * 4) / denominator;
      const last = meter[meter.length - 1];
      let firstBar = 1;
      if (last && last.start === tick) firstBar = meter.pop().firstBar;
      else if (last) firstBar = last.firstBar + Math.ceil((tick - last.start) / last.barLength - 1e-9);
      meter.push({ start: tick, barLength: beatLength * numerator, beatLength, firstBar });
    }
    return meter;
  }

  // The lyric events of the track that has the most of them; without any, the text
  // events of karaoke files (their "@" lines are headers, not words).
  function chooseLyrics(bytes, tracks) {
    for (const [type, keep] of [
      [0x05, () => true],
      [0x01, (e) => bytes[e.at] !== 0x40],
    ]) {
      let best = null;
      for (const track of tracks) {
        const events = track.events.filter((e) => e.type === type && e.size > 0 && keep(e));
        if (events.length > 0 && (!best || events.length > best.events.length)) best = { events, end: track.end };
      }
      if (best) return best;
    }
    return null;
  }

  // Files whose syllables never carry their own spaces separate words by event: a
  // syllable ending in "-" continues in the next event, any other ends its word.
  function spaceSyllables(texts) {
    const spaced = texts.some((t) => /^[/\\]*[ \t]|[ \t][\r\n]*$/.test(t));
    if (spaced) return texts;
    return texts.map((text) => {
      const core = text.replace(/[\r\n]+$/, '');
      const breaks = text.slice(core.length);
      if (core.endsWith('-')) return core.slice(0, -1) + breaks;
      return breaks === '' ? core + ' ' : core + breaks;
    });
  }

  // Joins syllables into lines: "/" and line breaks start a new line, "\" a new paragraph;
  // a line begins at the first syllable that gives it a visible character.
  function assembleLines(events, texts) {
    const lines = [];
    let line = null;
    let breaks = 0;
    let space = false;
    events.forEach((event, index) => {
      const text = texts[index];
      for (let i = 0; i < text.length; i++) {
        const c = text[i];
        if (c === '\r' || c === '\n' || c === '/') {
          if (c === '\r' && text[i + 1] === '\n') i++;
          breaks += 1;
        } else if (c === '\\') {
          breaks += 2;
        } else if (c <= ' ' || c === '\u00a0') {
          space = line !== null && breaks === 0;
        } else {
          if (!line || breaks > 0) {
            // Only appended to, never read until the end: the engine keeps it a rope, not a copy.
            line = { tick: event.tick, text: '', paragraph: breaks >= 2 };
            lines.push(line);
            breaks = 0;
          } else if (space) {
            line.text += ' ';
          }
          space = false;
          line.text += c;
        }
      }
    });
    return lines;
  }

  function midiToScript(bytes) {
    const { ticksPerQuarter, tracks } = readMidiEvents(bytes);
    const chosen = chooseLyrics(bytes, tracks);
    if (!chosen) throw new BadFile('ioNoLyrics');
    const texts = spaceSyllables(decodeAll(bytes, chosen.events));
    const lines = assembleLines(chosen.events, texts);
    if (lines.length === 0) throw new BadFile('ioNoLyrics');
    const meter = meterOfMidi(bytes, tracks, ticksPerQuarter);
    const places = placeLines(
      meter,
      lines.map((l) => l.tick),
    );
    // The last line lasts until its track ends, or to the next bar when the track ends with it.
    const end = endOfLines(meter, places, chosen.events[chosen.events.length - 1].tick, chosen.end);
    return composeScript(lines, places, end);
  }

  // -------------------------------------------------------------------------
  // LRC

  const kTimeTag = /^(\d{1,4}):(\d{1,2})(?:[.:](\d{1,3}))?$/;

  function tagSeconds(tag) {
    const match = kTimeTag.exec(tag.trim());
    if (!match) return null;
    const fraction = match[3] ? Number('0.' + match[3]) : 0;
    return Number(match[1]) * 60 + Number(match[2]) + fraction;
  }

  // Timed lines { time (seconds), text } in time order, or { error }.
  function parseLrc(text) {
    const entries = [];
    let offsetMs = 0;
    let sawTag = false;
    for (const raw of text.replace(/^\uFEFF/, '').split(/\r\n|\r|\n/)) {
      let rest = raw.trim();
      const times = [];
      let match;
      while ((match = /^\[([^\]]*)\]/.exec(rest)) !== null) {
        const seconds = tagSeconds(match[1]);
        if (seconds !== null) {
          times.push(seconds);
        } else {
          const meta = /^\s*offset\s*:\s*([+-]?\d+)\s*$/i.exec(match[1]);
          if (meta) offsetMs = Number(meta[1]);
          sawTag = true;
        }
        rest = rest.slice(match[0].length);
      }
      // Word times of the enhanced form only tell when a line starts.
      let firstWord = null;
      rest = rest.replace(/<([^>]*)>/g, (tag, inner) => {
        const seconds = tagSeconds(inner);
        if (seconds === null) return tag;
        if (firstWord === null) firstWord = seconds;
        return '';
      });
      if (times.length === 0 && firstWord !== null) times.push(firstWord);
      const words = rest.replace(/\s+/g, ' ').trim();
      for (const time of times) entries.push({ time, text: words });
    }
    if (entries.length === 0) return { error: sawTag ? 'ioNoTimes' : 'ioNotLyrics' };
    // A positive offset shows the lyrics earlier.
    const lines = entries.map((e) => ({ time: Math.max(0, e.time - offsetMs / 1000), text: e.text }));
    lines.sort((a, b) => a.time - b.time);
    return { lines };
  }

  // Meter of the host as { numerator, denominator } from a transport record; falls back to
  // its quarter notes per bar when the host gives no time signature.
  function hostMeter(transport) {
    const numerator = Number(transport.numerator);
    const denominator = Number(transport.denominator);
    if (
      Number.isInteger(numerator) &&
      numerator >= 1 &&
      numerator <= 255 &&
      [1, 2, 4, 8, 16, 32, 64].includes(denominator)
    ) {
      return { numerator, denominator };
    }
    const quarters = Number(transport.beatsPerBar) > 0 ? Number(transport.beatsPerBar) : 4;
    for (const denominator of [4, 8, 16]) {
      const n = (quarters * denominator) / 4;
      if (Number.isInteger(n) && n <= 255) return { numerator: n, denominator };
    }
    return { numerator: 4, denominator: 4 };
  }

  function uniformMeter({ numerator, denominator }, firstBar) {
    const beatLength = 4 / denominator;
    return [{ start: 0, barLength: beatLength * numerator, beatLength, firstBar }];
  }

  // Timed lines to a script at a constant tempo (quarter notes per minute), from bar
  // `startBar` on. Empty lines end the phrase before them.
  function lrcToScript(lrcLines, { tempo, startBar = 1, meter }) {
    try {
      const map = uniformMeter(meter, startBar);
      const lines = [];
      const positions = [];
      for (const line of lrcLines) {
        const previous = lines[lines.length - 1];
        if (line.text === '' && (!previous || previous.text === '')) continue;
        lines.push({ text: line.text, paragraph: false });
        positions.push((line.time * tempo) / 60);
      }
      if (lines.length === 0) return { error: 'ioNoTimes' };
      const places = placeLines(map, positions);
      if (lines[lines.length - 1].text === '') {
        lines.pop();
        const end = places.pop();
        return { script: composeScript(lines, places, end) };
      }
      return { script: composeScript(lines, places, endOfLines(map, places, positions[positions.length - 1], null)) };
    } catch (error) {
      return { error: error instanceof BadFile ? error.key : 'ioNotLyrics' };
    }
  }

  // -------------------------------------------------------------------------
  // Reading a file of either kind

  // { kind: 'midi', script } | { kind: 'lrc', lines } | { error }
  function readLyricsFile(bytes, name = '') {
    if (bytes.length > kMaxFileBytes) return { error: 'ioTooLarge' };
    const isMidi =
      bytes.length >= 4 && bytes[0] === 0x4d && bytes[1] === 0x54 && bytes[2] === 0x68 && bytes[3] === 0x64;
    if (isMidi) {
      try {
        return { kind: 'midi', script: midiToScript(bytes) };
      } catch (error) {
        if (error instanceof BadFile) return { error: error.key };
        // Anything else is a file this reader did not foresee: refuse it, keep the lyrics.
        return { error: 'ioDamaged' };
      }
    }
    let text;
    if ((bytes[0] === 0xff && bytes[1] === 0xfe) || (bytes[0] === 0xfe && bytes[1] === 0xff)) {
      text = new TextDecoder(bytes[0] === 0xff ? 'utf-16le' : 'utf-16be').decode(bytes);
    } else if (bytes.includes(0)) {
      // A text file holds no NUL bytes: this is neither kind.
      return { error: 'ioNotLyrics' };
    } else {
      text = decodeText(bytes);
    }
    let parsed;
    try {
      parsed = parseLrc(text);
    } catch (error) {
      return { error: 'ioNotLyrics' };
    }
    if (parsed.error === 'ioNotLyrics' && /\.lrc$/i.test(name)) return { error: 'ioNoTimes' };
    return parsed.error ? parsed : { kind: 'lrc', lines: parsed.lines };
  }

  // -------------------------------------------------------------------------
  // Writing

  // The words of each phrase with the beat at which each starts: the phrase's start, or,
  // with `spread`, the moment the display's fill reaches the word's first character.
  function timedWords(cues, spread) {
    const phrases = [];
    for (const cue of cues) {
      if (cue.countdown) continue;
      const total = Array.from(cue.text).length;
      const lines = [];
      let offset = 0;
      for (const lineText of cue.text.split('\n')) {
        const line = [];
        const pattern = /\S+/g;
        let seen = 0;
        let match;
        while ((match = pattern.exec(lineText)) !== null) {
          offset += codePoints(lineText.slice(seen, match.index));
          line.push({
            word: match[0],
            beat: spread ? cue.start + ((cue.end - cue.start) * offset) / total : cue.start,
          });
          offset += codePoints(match[0]);
          seen = pattern.lastIndex;
        }
        offset += codePoints(lineText.slice(seen)) + 1;
        if (line.length > 0) lines.push(line);
      }
      phrases.push({ cue, lines });
    }
    return phrases;
  }

  function codePoints(text) {
    let count = 0;
    for (let i = 0; i < text.length; i++) {
      const unit = text.charCodeAt(i);
      if (unit < 0xdc00 || unit > 0xdfff || i === 0 || (text.charCodeAt(i - 1) & 0xfc00) !== 0xd800) count++;
    }
    return count;
  }

  // Grows a byte list without spreading large arrays into calls.
  function append(out, bytes) {
    for (let i = 0; i < bytes.length; i++) out.push(bytes[i]);
  }

  function quantityBytes(value) {
    const out = [value & 0x7f];
    let v = Math.floor(value / 128);
    while (v > 0) {
      out.unshift((v & 0x7f) | 0x80);
      v = Math.floor(v / 128);
    }
    return out;
  }

  function trackChunk(out, events, endTick) {
    const body = [];
    let tick = 0;
    for (const event of events) {
      append(body, quantityBytes(event.tick - tick));
      append(body, [0xff, event.type]);
      append(body, quantityBytes(event.data.length));
      append(body, event.data);
      tick = event.tick;
    }
    append(body, quantityBytes(Math.max(0, endTick - tick)));
    append(body, [0xff, 0x2f, 0x00]);
    const size = body.length;
    append(out, [0x4d, 0x54, 0x72, 0x6b, (size >>> 24) & 0xff, (size >>> 16) & 0xff, (size >>> 8) & 0xff, size & 0xff]);
    append(out, body);
  }

  const utf8 = (text) => new TextEncoder().encode(text);

  // Format 1 at 480 ticks per quarter: a conductor track with the title, the time signature
  // and the tempo (when known), and a lyrics track with one lyric event per word; a word
  // that ends a line carries a carriage return, the others a space.
  function writeMidi(cues, { meter, tempo, spread, title }) {
    const q = kExportTicksPerQuarter;
    const conductor = [
      { tick: 0, type: 0x03, data: utf8(title) },
      { tick: 0, type: 0x58, data: [meter.numerator, Math.log2(meter.denominator), 24, 8] },
    ];
    if (tempo > 0) {
      const micros = Math.round(60000000 / tempo);
      conductor.push({ tick: 0, type: 0x51, data: [(micros >>> 16) & 0xff, (micros >>> 8) & 0xff, micros & 0xff] });
    }
    const lyrics = [];
    let endTick = 0;
    for (const { cue, lines } of timedWords(cues, spread)) {
      for (const line of lines) {
        line.forEach((w, i) => {
          lyrics.push({
            tick: Math.round(w.beat * q),
            type: 0x05,
            data: utf8(w.word + (i === line.length - 1 ? '\r' : ' ')),
          });
        });
      }
      endTick = Math.max(endTick, Math.round(cue.end * q));
    }
    // Phrases that overlap (a count-down over earlier words) still need ticks in order;
    // the sort is stable.
    lyrics.sort((a, b) => a.tick - b.tick);
    lyrics.unshift({ tick: 0, type: 0x03, data: utf8('Lyrics') });
    const out = [0x4d, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0, 1, 0, 2, (q >>> 8) & 0xff, q & 0xff];
    trackChunk(out, conductor, 0);
    trackChunk(out, lyrics, endTick);
    return new Uint8Array(out);
  }

  function lrcTime(seconds) {
    const centis = Math.max(0, Math.round(seconds * 100));
    const pad = (n) => String(n).padStart(2, '0');
    return (
      '[' + pad(Math.floor(centis / 6000)) + ':' + pad(Math.floor(centis / 100) % 60) + '.' + pad(centis % 100) + ']'
    );
  }

  // One timed line per line of each phrase; an empty timed line where a phrase ends
  // before the next begins, so that players clear it as the display does.
  function writeLrc(cues, { tempo, spread }) {
    const seconds = (beat) => (beat * 60) / tempo;
    const phrases = timedWords(cues, spread);
    const out = [];
    phrases.forEach(({ cue, lines }, i) => {
      for (const line of lines) out.push(lrcTime(seconds(line[0].beat)) + line.map((w) => w.word).join(' '));
      const next = phrases[i + 1];
      if (!next || next.cue.start > cue.end) out.push(lrcTime(seconds(cue.end)));
    });
    return out.join('\n') + '\n';
  }

  // A file name from the first line of the lyrics that holds words.
  function fileName(script, extension) {
    let base = '';
    for (const line of String(script).split('\n')) {
      base = line
        .replace(kMarkerTokens, ' ')
        .replace(/[\u0000-\u001f\u007f<>:"/\\|?*]/g, ' ')
        .replace(/\s+/g, ' ')
        .trim()
        .replace(/^[.\s]+|[.\s]+$/g, '');
      if (base !== '') break;
    }
    base = Array.from(base).slice(0, 60).join('').trim();
    return (base || 'Lyrics') + '.' + extension;
  }

  return {
    kMaxFileBytes,
    readLyricsFile,
    lrcToScript,
    hostMeter,
    writeMidi,
    writeLrc,
    fileName,
  };
})();

if (typeof module === 'object' && module.exports) module.exports = lyricsIO;
