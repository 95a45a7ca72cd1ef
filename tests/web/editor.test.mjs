// The editor driven by keyboard and mouse: gutter, highlighting, marker insertion and settings.
import { describe, it } from 'node:test';
import assert from 'node:assert/strict';
import { nativeLog, replaceScript as replaceIn, sharedPage, typeAtEnd, waitForPolls } from './support/browser.mjs';
import { feedHostState, feedTransport } from './support/native.mjs';

const { page } = await sharedPage({ native: {} });
const replaceScript = (text) => replaceIn(page, text);
const script = () => page.inputValue('#script');
const lastWrite = async () => (await nativeLog(page)).lastWrite;
const selection = () => page.$eval('#script', (t) => t.value.slice(t.selectionStart, t.selectionEnd));
const cueTimes = () => page.evaluate(() => cues.map((c) => [c.start, c.end]));
const label = (id) => page.textContent('#' + id + ' .setting-text');

describe('gutter and highlight layer', () => {
  it('numbers one bar per line and restarts at lines opening with a marker, after spaces too, not inside a line', async () => {
    for (const [text, rows] of [
      ['[5] a\nb\nc\n[2] d\ne', '5 6 7 2 3'],
      ['x\n   [timer|9] y\nz [3]\n[007]\n[0]\n[12.3] a\n[timer|4.2]\n[8.]', '1 9 10 7 0 12 4 5'],
    ]) {
      await replaceScript(text);
      assert.deepEqual(await page.$$eval('#gutter > div', (all) => all.map((r) => r.textContent).join(' ')), rows);
    }
    // Each bar number stays level with its unwrapped line: one line height apart at the stage factor 0.75.
    await replaceScript('[1] a\nb\nc');
    const tops = await page.$$eval('#gutter > div', (rows) => rows.map((r) => r.getBoundingClientRect().top));
    assert.ok(
      tops.slice(1).every((top, i) => Math.abs(top - tops[i] - 46 * 0.75) < 0.5),
      String(tops),
    );
  });

  it('colours bar and timer markers, including ones the compiler rejects', async () => {
    await replaceScript('[1] a [TIMER|2] b [0] [chorus]');
    const spans = await page.$$eval('#highlight span', (all) =>
      all.map((s) => [s.className, s.textContent, getComputedStyle(s).color]),
    );
    assert.deepEqual(spans, [
      ['marker', '[1]', 'rgb(255, 105, 120)'],
      ['timer', '[TIMER|2]', 'rgb(25, 181, 225)'],
      ['marker', '[0]', 'rgb(255, 105, 120)'],
    ]);
  });

  it('shows markup in lyrics as text and never runs it, in the editor and on the display with and without auto-fill', async () => {
    await page.evaluate(() => (window.__pwned = 0));
    const words = '<b>bold</b> <img src=x onerror="window.__pwned=1"> <script>window.__pwned=2</script> "q" \'a\' &';
    await replaceScript('[1] ' + words + ' [2]');
    assert.equal(await page.$eval('#highlight', (h) => h.textContent), '[1] ' + words + ' [2]\n');
    assert.equal(await script(), '[1] ' + words + ' [2]');
    for (const autoFill of [true, false]) {
      await feedHostState(page, { script: '[1] ' + words + ' [2]', autoFill });
      await feedTransport(page, { playing: true, ppq: 1 });
      assert.equal(await page.textContent('#play-text'), words);
    }
    await feedTransport(page, { playing: false, ppq: 0 });
    await feedHostState(page, { autoFill: true });
    await page.waitForTimeout(100);
    assert.equal(await page.evaluate(() => window.__pwned), 0);
    assert.equal(await page.$$eval(':is(#highlight, #play-text) :is(b, img, script)', (e) => e.length), 0);
  });

  it('scrolls with the text area, and so does the gutter; redraws only the lines typed in', async () => {
    await replaceScript(Array.from({ length: 40 }, (_, i) => 'line ' + i).join('\n'));
    await page.$eval('#script', (t) => t.scrollTo(0, 300)); // as a wheel does: the scroll event follows
    await page.waitForTimeout(50);
    const tops = ['script', 'highlight', 'gutter'].map((id) => page.$eval('#' + id, (e) => e.scrollTop));
    assert.deepEqual(await Promise.all(tops), [300, 300, 300]);
    // A keystroke redraws only the lines it changed: a long script is not laid out again per key.
    await page.$eval('#highlight > div', (first) => (first.dataset.kept = 'yes'));
    await typeAtEnd(page, '!');
    assert.equal(await page.$eval('#highlight > div', (first) => first.dataset.kept), 'yes');
  });
});

describe('inserting markers', () => {
  it("inserts the playhead's bar, or the next bar for a timer, with the number selected; replaces a selection", async () => {
    await feedTransport(page, { hasPpq: true, ppq: 36.2, beatsPerBar: 4 });
    await replaceScript('ab');
    await page.keyboard.press('ArrowLeft');
    await page.click('#marker');
    assert.deepEqual([await script(), await selection()], ['a[10]b', '10']);
    await page.keyboard.type('12');
    assert.equal(await script(), 'a[12]b');
    await page.keyboard.press('ArrowRight');
    await page.click('#timer');
    const inserted = 'a[12][timer|11]b';
    assert.deepEqual([await script(), await selection(), (await lastWrite()).script], [inserted, '11', inserted]);
    await feedTransport(page, { ppq: 0 });
    await replaceScript('keep REPLACE keep');
    await page.$eval('#script', (t) => t.setSelectionRange(5, 12));
    await page.click('#marker');
    assert.deepEqual([await script(), await page.evaluate(() => cues.length)], ['keep [1] keep', 0]);
  });

  it("names the playhead's beat, rounded, off the first beat; bar 1 at least; [1] / [timer|2] without a position", async () => {
    // [ppq (null: no position), meter, what "Add marker" then "Add timer" insert]
    // prettier-ignore
    const cases = [
      [37, '4/4', '[10.2][timer|11.2]'], [37.6, '4/4', '[10.3][timer|11.3]'], [39.6, '4/4', '[11][timer|12]'],
      [4, '3/4', '[2.2][timer|3.2]'], [4, '6/8', '[2.3][timer|3.3]'], [3.5, '7/8', '[2][timer|3]'],
      [3, '7/8', '[1.7][timer|2.7]'], [1.5, '5/16', '[2.2][timer|3.2]'], [-0.75, '4/4', '[1][timer|1.4]'],
      [-20, '4/4', '[1][timer|1]'], [null, '4/4', '[1][timer|2]'],
    ];
    for (const [ppq, meter, inserted] of cases) {
      const [numerator, denominator] = meter.split('/').map(Number);
      const beatsPerBar = (numerator * 4) / denominator;
      await feedTransport(page, { hasPpq: ppq !== null, ppq: ppq ?? 100, numerator, denominator, beatsPerBar });
      await replaceScript('');
      await page.click('#marker');
      await page.keyboard.press('End');
      await page.click('#timer');
      assert.deepEqual([await script(), await selection()], [inserted, /\|([\d.]+)\]$/.exec(inserted)[1]], ppq + meter);
    }
    await feedTransport(page, { hasPpq: true, numerator: 4, denominator: 4, beatsPerBar: 4 });
  });
});

describe('settings', () => {
  async function typeTicks(text) {
    await page.fill('#ticks', '');
    await page.focus('#ticks');
    await page.keyboard.type(text);
  }
  const ticksState = () => page.evaluate(() => state.timerTicks);

  it('corrects out-of-range ticks at once, keeps them whole as the host stores them, and waits while the field is empty', async () => {
    // [typed, state, field (null: not checked)]
    // prettier-ignore
    for (const [typed, ticks, field] of [['300', 256, '256'], ['0', 1, '1'], ['-7', 1, null], ['2.5', 2, '2'], ['9', 9, '9']]) {
      await typeTicks(typed);
      assert.equal(await ticksState(), ticks, typed);
      if (field !== null) assert.equal(await page.inputValue('#ticks'), field, typed);
    }
    await page.fill('#ticks', '');
    assert.equal(await ticksState(), 9);
    await typeTicks('2.5');
    assert.equal((await lastWrite()).timerTicks, 2);
    await replaceScript('[timer|3]'); // so a count-down never shows a fraction
    assert.deepEqual(await cueTimes(), [[6, 8]]);
  });

  it('selects the clicked unit segment and recompiles the cues', async () => {
    await replaceScript('[timer|5]');
    await typeTicks('4');
    await page.click('#duration button:has-text("1/8")');
    const segments = await page.$$eval('#duration button', (all) =>
      all.map((b) => [b.textContent, b.className, b.dataset.unit, b.type].join(' ')),
    );
    assert.deepEqual(segments, ['1  0 button', '1/2  1 button', '1/4  2 button', '1/8 selected 3 button']);
    assert.deepEqual([await cueTimes(), (await lastWrite()).timerUnit], [[[14, 16]], 3]);
    await page.click('#duration button:has-text("1/4")');
  });

  it('toggles the display mode, the auto-fill and the next line', async () => {
    // [button, state key, label before, label after, value after]
    // prettier-ignore
    for (const [id, key, on, off, value] of [
      ['display-mode', 'displayMode', 'Mode: Scrolling', 'Mode: Static', 1],
      ['auto-fill', 'autoFill', 'Auto-fill: On', 'Auto-fill: Off', false],
      ['next-line', 'nextLine', 'Next line: On', 'Next line: Off', false],
    ]) {
      assert.equal(await label(id), on);
      await page.click('#' + id);
      assert.deepEqual([await label(id), (await lastWrite())[key]], [off, value]);
      await page.click('#' + id);
    }
  });

  it('cycles through the six languages and translates every label', async () => {
    // [language, heading, marker button, next line, badge]
    const kLabels = [
      ['Language: English', 'Settings', 'Add marker', 'Next line: On', null],
      ['Langue: French', 'Réglages', 'Ajouter un repère', 'Ligne suivante: Oui', 'EDIT'],
      ['Lingua: Italian', 'Impostazioni', 'Aggiungi segno', 'Riga successiva: Sì', 'EDIT'],
      ['Sprache: German', 'Einstellungen', 'Marke hinzufügen', 'Nächste Zeile: Ein', 'EDIT'],
      ['Idioma: Spanish', 'Ajustes', 'Añadir marca', 'Línea siguiente: Sí', 'EDIT'],
      ['Язык: Russian', 'Настройки', 'Добавить маркер', 'Следующая строка: Вкл', 'EDIT'],
    ];
    const texts = () =>
      page.evaluate(() => {
        const text = (selector) => document.querySelector(selector).textContent;
        const badge = document.getElementById('mode-badge');
        const labels = ['#language .setting-text', 'h1', '#marker [data-t]', '#next-line .setting-text'].map(text);
        return [...labels, badge.hidden ? null : badge.textContent, text('[data-t="duration"]'), text('#ticks-help')];
      });
    for (const labels of kLabels) {
      const seen = await texts();
      assert.deepEqual(seen.slice(0, 5), labels);
      if (labels === kLabels[0]) assert.equal(seen[5], 'Timer unit');
      if (labels === kLabels[5]) assert.equal(seen[6], 'Количество тиков\nдля каждого отсчёта\nтаймера.');
      await page.click('#language');
    }
    assert.deepEqual([await label('language'), (await lastWrite()).language], ['Language: English', 0]);
  });
});
