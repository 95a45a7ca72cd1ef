// Benchmarks of the editor page in Chromium: cue compiling, per-reading playback drawing and
// per-keystroke script drawing. Prints medians next to the goals; run from the repository
// root after "npm ci":  node bench/web/page.bench.mjs
import { launchBrowser, openPage } from '../../tests/web/support/browser.mjs';

const kSamples = 31;

const browser = await launchBrowser();
try {
  const session = await openPage(browser, { native: {} });
  const results = await session.page.evaluate((samples) => {
    const flushLayout = () => document.body.getBoundingClientRect();
    // Median per call; `batch` calls per sample so that the browser's coarse clock still resolves them.
    const time = (body, { setup = () => {}, batch = 1 } = {}) => {
      const perCall = [];
      let call = 0;
      for (let s = 0; s < samples; s++) {
        let spent = 0;
        for (let b = 0; b < batch; b++, call++) {
          setup(call);
          const begin = performance.now();
          body(call);
          spent += performance.now() - begin;
        }
        perCall.push(spent / batch);
      }
      return perCall.sort((a, b) => a - b)[Math.floor(samples / 2)];
    };
    const out = [];

    // Cue compiler: 10,000 lines with 5,000 markers (every other line opens with one).
    const lines = [];
    for (let i = 0; i < 10000; i++) {
      if (i % 2 === 0) lines.push((i % 10 === 8 ? '[timer|' : '[') + (i / 2 + 1) + '] some words of the song ' + i);
      else lines.push('and the line that follows it, number ' + i);
    }
    const bigScript = { script: lines.join('\n'), timerTicks: 4, timerUnit: 2 };
    out.push(['compileCues, 10,000 lines, 5,000 markers', time(() => compileCues(bigScript), { batch: 5 }), 8]);

    // Playback display on a 300-character phrase with auto-fill, scrolling.
    transport.playing = true;
    transport.hasPpq = true;
    document.getElementById('edit-view').hidden = true;
    document.getElementById('play-view').hidden = false;
    const phrase = Array.from({ length: 300 }, (_, i) => 'abcdefghij klmnopqrst'[i % 21]).join('');
    Object.assign(state, { script: '[1] ' + phrase + ' [101]', autoFill: true, displayMode: 0 });
    cues = compileCues(state);
    transport.ppq = 0;
    renderPlayback();
    flushLayout();
    // Each reading moves the fill on by about one character, as at 30 readings a second.
    out.push([
      'renderPlayback per reading, 300 chars, auto-fill',
      time(
        () => {
          renderPlayback();
          flushLayout();
        },
        {
          setup: (i) => {
            transport.ppq = (i % 1000) * 0.4;
          },
          batch: 20,
        },
      ),
      1,
    ]);
    out.push([
      'renderPlayback with content rebuild, 300 chars',
      time(
        () => {
          renderPlayback();
          flushLayout();
        },
        {
          setup: (i) => {
            cues = compileCues(state);
            transport.ppq = (i % 1000) * 0.4;
          },
          batch: 5,
        },
      ),
      4,
    ]);

    // The next line's search on 5,000 cues with the playhead near the end, beside the same
    // readings with the next line off.
    Object.assign(state, bigScript, { autoFill: false });
    cues = compileCues(state);
    const late = cues[cues.length - 10].start + 0.5;
    for (const nextLine of [true, false]) {
      state.nextLine = nextLine;
      out.push([
        'renderPlayback per reading, 5,000 cues, next line ' + (nextLine ? 'on' : 'off'),
        time(
          () => {
            renderPlayback();
            flushLayout();
          },
          {
            setup: (i) => {
              transport.ppq = late + (i % 10) * 0.01;
            },
            batch: 20,
          },
        ),
        1,
      ]);
    }
    state.nextLine = true;

    // Editor on a 2,000-line script. A keystroke is a real edit of the text area
    // (execCommand), not a reassignment of its whole value.
    transport.playing = false;
    document.getElementById('edit-view').hidden = false;
    document.getElementById('play-view').hidden = true;
    const textarea = document.getElementById('script');
    const scriptLines = [];
    for (let i = 0; i < 2000; i++)
      scriptLines.push((i % 4 === 0 ? '[' + (i + 1) + '] ' : '') + 'a lyric line, number ' + i);
    textarea.value = scriptLines.join('\n');
    state.script = textarea.value;
    cues = compileCues(state);
    renderScript();
    textarea.focus();
    textarea.setSelectionRange(20000, 20000);
    flushLayout();
    const type = (i) => document.execCommand('insertText', false, String.fromCharCode(97 + (i % 26)));
    const blockInput = (event) => event.stopPropagation();

    window.addEventListener('input', blockInput, true);
    const browserEdit = time((i) => {
      type(i);
      flushLayout();
    });
    out.push([
      'renderScript per keystroke, 2,000 lines',
      time(
        () => {
          renderScript();
          flushLayout();
        },
        {
          setup: (i) => {
            type(i);
            flushLayout();
          },
        },
      ),
      8,
    ]);
    window.removeEventListener('input', blockInput, true);
    const wholeKeystroke = time((i) => {
      type(i);
      flushLayout();
    });
    out.push(['  whole keystroke: browser edit + input handler', wholeKeystroke, null]);
    out.push(["  of which the browser's own text area edit", browserEdit, null]);
    return out;
  }, kSamples);

  console.log('Kelo editor page benchmarks: median per call over ' + kSamples + ' samples, headless Chromium');
  for (const [name, ms, goal] of results) {
    const verdict =
      goal === null
        ? ''
        : 'goal < ' +
          goal +
          ' ms   ' +
          (ms < goal ? 'met' : 'MISSED') +
          ' (' +
          (ms / goal).toFixed(2) +
          ' of the goal)';
    console.log(name.padEnd(52) + ms.toFixed(3).padStart(9) + ' ms   ' + verdict);
  }
  await session.close();
} finally {
  await browser.close();
}
