'use strict';
// Kelo editor page: the bridge to the plug-in's native functions, the cue compiler,
// the editor, the playback display and the stage scaling. One classic script so that
// the plug-in can serve it as a single embedded file.

// ---------------------------------------------------------------------------
// Constants and interface texts

const kStageWidth = 1584;
const kStageHeight = 808;
const kPollDelayMs = 33;
const kMinBar = 1;
const kMaxBar = 1000000;
const kMinTicks = 1;
const kMaxTicks = 256;
const kFillColour = '#19b5e1';
const kUnfilledColour = '#182b5b';

const translations = [
  {
    edit: 'EDIT',
    play: 'PLAY',
    settings: 'Settings',
    marker: 'Add marker',
    timer: 'Add timer',
    ticks: 'Timer ticks',
    duration: 'Timer unit',
    mode: 'Mode',
    scroll: 'Scrolling',
    staticMode: 'Static',
    autoFill: 'Auto-fill',
    nextLine: 'Next line',
    on: 'On',
    off: 'Off',
    language: 'Language',
    noPosition: 'DAW does not provide a musical position',
    noText: 'Add lyrics in the editor',
    end: 'End of lyrics',
    units: ['1', '1/2', '1/4', '1/8'],
    tickHelp: 'Number of ticks\nfor each timer\ncountdown.',
  },
  {
    edit: 'EDIT',
    play: 'PLAY',
    settings: 'Réglages',
    marker: 'Ajouter un repère',
    timer: 'Ajouter un minuteur',
    ticks: 'Tics du minuteur',
    duration: 'Durée',
    mode: 'Mode',
    scroll: 'Défilement',
    staticMode: 'Statique',
    autoFill: 'Remplissage auto',
    nextLine: 'Ligne suivante',
    on: 'Oui',
    off: 'Non',
    language: 'Langue',
    noPosition: 'La STAN ne fournit pas de position musicale',
    noText: 'Ajoutez des paroles',
    end: 'Fin des paroles',
    units: ['1', '1/2', '1/4', '1/8'],
    tickHelp: 'Nombre de tics\npar décompte.',
  },
  {
    edit: 'EDIT',
    play: 'PLAY',
    settings: 'Impostazioni',
    marker: 'Aggiungi segno',
    timer: 'Aggiungi timer',
    ticks: 'Tick del timer',
    duration: 'Durata',
    mode: 'Modalità',
    scroll: 'Scorrimento',
    staticMode: 'Statica',
    autoFill: 'Riempimento auto',
    nextLine: 'Riga successiva',
    on: 'Sì',
    off: 'No',
    language: 'Lingua',
    noPosition: 'La DAW non fornisce la posizione musicale',
    noText: 'Aggiungi il testo',
    end: 'Fine del testo',
    units: ['1', '1/2', '1/4', '1/8'],
    tickHelp: 'Numero di tick\nper conto alla rovescia.',
  },
  {
    edit: 'EDIT',
    play: 'PLAY',
    settings: 'Einstellungen',
    marker: 'Marke hinzufügen',
    timer: 'Timer hinzufügen',
    ticks: 'Timer-Ticks',
    duration: 'Dauer',
    mode: 'Modus',
    scroll: 'Scrollen',
    staticMode: 'Statisch',
    autoFill: 'Auto-Füllung',
    nextLine: 'Nächste Zeile',
    on: 'Ein',
    off: 'Aus',
    language: 'Sprache',
    noPosition: 'Die DAW liefert keine musikalische Position',
    noText: 'Liedtext hinzufügen',
    end: 'Textende',
    units: ['1', '1/2', '1/4', '1/8'],
    tickHelp: 'Ticks pro\nCountdown.',
  },
  {
    edit: 'EDIT',
    play: 'PLAY',
    settings: 'Ajustes',
    marker: 'Añadir marca',
    timer: 'Añadir temporizador',
    ticks: 'Ticks del temporizador',
    duration: 'Duración',
    mode: 'Modo',
    scroll: 'Desplazamiento',
    staticMode: 'Estático',
    autoFill: 'Autocompletar',
    nextLine: 'Línea siguiente',
    on: 'Sí',
    off: 'No',
    language: 'Idioma',
    noPosition: 'La DAW no proporciona posición musical',
    noText: 'Añade la letra',
    end: 'Fin de la letra',
    units: ['1', '1/2', '1/4', '1/8'],
    tickHelp: 'Número de tics\npor cuenta atrás.',
  },
  {
    edit: 'EDIT',
    play: 'PLAY',
    settings: 'Настройки',
    marker: 'Добавить маркер',
    timer: 'Добавить таймер',
    ticks: 'Тики таймера',
    duration: 'Единица таймера',
    mode: 'Режим',
    scroll: 'Прокрутка',
    staticMode: 'Статический',
    autoFill: 'Автозаполнение',
    nextLine: 'Следующая строка',
    on: 'Вкл',
    off: 'Выкл',
    language: 'Язык',
    noPosition: 'DAW не предоставляет музыкальную позицию',
    noText: 'Добавьте текст в редакторе',
    end: 'Конец текста',
    units: ['1', '1/2', '1/4', '1/8'],
    tickHelp: 'Количество тиков\nдля каждого отсчёта\nтаймера.',
  },
];

const languageNames = ['English', 'French', 'Italian', 'German', 'Spanish', 'Russian'];

const demoScript = [
  '[30] Lanterns on the water, we were young',
  'Counting every wave until the morning',
  'Singing to the harbour lights',
  'Every word a promise on the wind',
  '[34] Hold the line, hold the light',
  'Carry me across the silver night',
  'Every bar another step',
  'Every breath another song',
  'Keep the time and sing it true',
  'Until the last chord rings for you',
  '[timer|40]',
].join('\n');

// ---------------------------------------------------------------------------
// Page records

const state = {
  script: '',
  timerTicks: 1,
  timerUnit: 2,
  displayMode: 0,
  autoFill: true,
  language: 0,
  nextLine: true,
};

const transport = {
  playing: false,
  hasPpq: false,
  ppq: 0,
  beatsPerBar: 4,
  numerator: 4,
  denominator: 4,
  tempo: 0,
  hasTempo: false,
};

let cues = [];

// ---------------------------------------------------------------------------
// Bridge: polls the native side and writes edits back, one at a time, newest wins.
// A native call that never settles fails after a generous time, so that no lost
// answer can stop polling or saving for the rest of the session.

const kCallTimeoutMs = 10000;
const kWriteAttempts = 3;

class CallTimeout extends Error {}

function settleWithin(promise) {
  let timer;
  const expiry = new Promise((resolve, reject) => {
    timer = setTimeout(() => reject(new CallTimeout('Host did not answer')), kCallTimeoutMs);
  });
  return Promise.race([promise, expiry]).finally(() => clearTimeout(timer));
}

// The native side reads strict UTF-8 JSON, in which a lone surrogate (possible in a
// JavaScript string, e.g. half of a pasted emoji) cannot be written.
function wellFormedText(text) {
  if (typeof text.toWellFormed === 'function') return text.toWellFormed();
  return text.replace(/[\ud800-\udbff](?![\udc00-\udfff])|(?<![\ud800-\udbff])[\udc00-\udfff]/g, '\ufffd');
}

function wellFormed(record) {
  const copy = {};
  for (const [name, value] of Object.entries(record))
    copy[name] = typeof value === 'string' ? wellFormedText(value) : value;
  return copy;
}

function createBridge() {
  const listeners = new Map();
  let revision = -1;
  let pendingState;
  let writing = false;
  let started = false;
  // The newest edit that did not reach the host, kept until the user takes it back or
  // drops it; `replaced` once a host document has taken its place in the editor.
  let unsaved;

  function notify(name, value) {
    const listener = listeners.get(name);
    if (listener) listener(value);
  }

  function keepUnsaved(value, replaced) {
    unsaved = value === undefined ? undefined : { state: value, replaced };
    notify('keloUnsaved', unsaved);
  }

  async function flush() {
    if (writing) return;
    writing = true;
    let next;
    let timeouts = 0;
    try {
      while (pendingState !== undefined) {
        next = pendingState;
        pendingState = undefined;
        let accepted;
        try {
          // The revision tells the host which document the edit was made on.
          accepted = await settleWithin(window.keloWrite(wellFormed(next), revision));
        } catch (error) {
          if (!(error instanceof CallTimeout) || ++timeouts >= kWriteAttempts) throw error;
          console.error('Kelo state save timed out; trying again', error);
          if (pendingState === undefined) pendingState = next;
          continue;
        }
        if (!accepted) throw new Error('Host rejected state update');
        timeouts = 0;
        // Every later edit holds the earlier ones: once the newest is saved, nothing is lost.
        if (pendingState === undefined && unsaved && !unsaved.replaced) keepUnsaved(undefined);
      }
    } catch (error) {
      console.error('Kelo state save failed', error);
      // The page still shows the text, and the next edit sends it again; nothing waits
      // in the queue, so that a host document can still be taken over meanwhile.
      // A text the host's document displaced stays on offer; the newer one is on the page.
      if (!unsaved?.replaced) keepUnsaved(pendingState ?? next, false);
      pendingState = undefined;
    } finally {
      writing = false;
    }
  }

  async function poll() {
    try {
      const snapshot = await settleWithin(window.keloRead(revision));
      // A snapshot taken before our own edits reached the host must not undo them.
      if (!writing && pendingState === undefined && snapshot.revision !== revision) {
        revision = snapshot.revision;
        if (unsaved) keepUnsaved(unsaved.state, true);
        notify('keloSnapshot', snapshot.state);
      }
      notify('keloTransport', snapshot.transport);
    } catch (error) {
      console.error('Kelo native bridge failed', error);
    }
    setTimeout(poll, kPollDelayMs);
  }

  return {
    addEventListener(name, listener) {
      listeners.set(name, listener);
    },
    emitEvent(name, value) {
      if (name === 'keloState') {
        pendingState = value;
        flush();
      } else if (name === 'keloReady') {
        if (started) return;
        started = true;
        poll();
      }
    },
    // Hands the unsaved edit ({ state, replaced }) back once and forgets it.
    takeUnsaved() {
      const kept = unsaved;
      keepUnsaved(undefined);
      return kept;
    },
  };
}

const bridge =
  typeof window.keloRead === 'function' && typeof window.keloWrite === 'function' ? createBridge() : undefined;

function send() {
  if (!bridge) return;
  bridge.emitEvent('keloState', { ...state });
}

// ---------------------------------------------------------------------------
// Cue compiler

function tickLength(unit) {
  switch (unit) {
    case 0:
      return 4;
    case 1:
      return 2;
    case 2:
      return 1;
    case 3:
      return 0.5;
    default:
      return 1;
  }
}

function isDigit(code) {
  return code >= 48 && code <= 57;
}

function readDigits(text, i) {
  const start = i;
  while (i < text.length && isDigit(text.charCodeAt(i))) i++;
  return i === start ? null : { value: Number(text.slice(start, i)), end: i };
}

// Reads the marker that opens at `open` (a "["): "[bar]", "[bar.beat]", or either after
// "timer|". Returns null when the bracket does not open a valid marker, else
// { bar, beat, timer, next } with `next` the index after the "]". Beats count from 1, as
// bars do, so "[12.0]" is text; "[12]" is beat 1.
function readMarker(text, open) {
  let i = open + 1;
  let timer = false;
  if (text.substr(i, 6).toLowerCase() === 'timer|') {
    timer = true;
    i += 6;
  }
  const bar = readDigits(text, i);
  if (!bar) return null;
  i = bar.end;
  let beat = 1;
  if (text.charCodeAt(i) === 46 /* . */) {
    const digits = readDigits(text, i + 1);
    if (!digits || digits.value < 1) return null;
    beat = digits.value;
    i = digits.end;
  }
  if (text.charCodeAt(i) !== 93 /* ] */) return null;
  if (bar.value < kMinBar || bar.value > kMaxBar) return null;
  return { bar: bar.value, beat, timer, next: i + 1 };
}

// A beat is the time signature's beat unit (in 6/8 an eighth note), in quarter notes.
function beatLength() {
  const unit = transport.denominator;
  return unit > 0 ? 4 / unit : 1;
}

// Where a marker starts, in quarter notes. A beat beyond the bar's last beat is the last
// beat: a marker stays inside its own bar whatever the meter, so a meter change never
// moves it past the next bar's marker.
function markerPosition(bar, beat, beatsPerBar, length) {
  const lastBeat = Math.max(0, Math.ceil(beatsPerBar / length - 1e-9) - 1);
  return (bar - 1) * beatsPerBar + Math.min(beat - 1, lastBeat) * length;
}

function closePhrase(list, raw, from, to) {
  const text = raw.trim();
  if (text === '' || !(to > from)) return;
  list.push({ start: from, end: to, text, countdown: false });
}

function compileCues(s) {
  const tick = tickLength(s.timerUnit);
  const beatsPerBar = transport.beatsPerBar;
  const length = beatLength();
  const script = typeof s.script === 'string' ? s.script : '';
  const list = [];
  let cursor = null;
  let textStart = 0;
  let open = script.indexOf('[');
  while (open !== -1) {
    const marker = readMarker(script, open);
    if (!marker) {
      // A rejected bracket is plain text; scanning resumes right after it.
      open = script.indexOf('[', open + 1);
      continue;
    }
    const target = markerPosition(marker.bar, marker.beat, beatsPerBar, length);
    if (marker.timer) {
      const countStart = Math.max(0, target - s.timerTicks * tick);
      if (cursor !== null) closePhrase(list, script.slice(textStart, open), cursor, countStart);
      if (target > countStart) list.push({ start: countStart, end: target, text: '', countdown: true });
    } else if (cursor !== null) {
      closePhrase(list, script.slice(textStart, open), cursor, target);
    }
    cursor = target;
    textStart = marker.next;
    open = script.indexOf('[', marker.next);
  }
  // Text after the last marker has no end, so it is never shown.
  list.sort((a, b) => a.start - b.start);
  return list;
}

// ---------------------------------------------------------------------------
// Editor

const scriptInput = document.getElementById('script');
const gutter = document.getElementById('gutter');
const highlight = document.getElementById('highlight');
const ticksInput = document.getElementById('ticks');
const ticksHelp = document.getElementById('ticks-help');
const durationGroup = document.getElementById('duration');
const displayModeButton = document.getElementById('display-mode');
const autoFillButton = document.getElementById('auto-fill');
const nextLineButton = document.getElementById('next-line');
const languageButton = document.getElementById('language');
const modeBadge = document.getElementById('mode-badge');
const brandLink = document.getElementById('brand-link');
const editView = document.getElementById('edit-view');
const playView = document.getElementById('play-view');
const playPanel = document.getElementById('play-panel');
const playText = document.getElementById('play-text');
const playNext = document.getElementById('play-next');
const stage = document.getElementById('stage');

const kHtmlEscapes = { '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;' };
function escapeHtml(text) {
  return String(text).replace(/[&<>"']/g, (c) => kHtmlEscapes[c]);
}

function texts() {
  return translations[state.language] || translations[0];
}

// The native side keeps whole ticks (it truncates toward zero); the page does the same so
// that its count-downs match what the host will store.
function ticksFromField(value) {
  let ticks = Math.trunc(value);
  if (Number.isNaN(ticks) || ticks === 0) ticks = kMinTicks;
  return Math.min(kMaxTicks, Math.max(kMinTicks, ticks));
}

// A marker on a beat counts for its bar: the gutter numbers bars.
const kLeadingMarker = /^\s*\[(?:timer\|)?(\d+)(?:\.\d+)?\]/i;
const kMarkerSpans = /\[(\d+)(?:\.\d+)?\]|\[timer\|\d+(?:\.\d+)?\]/gi;
let gutterNumbers = '';
let highlightLines = [];

function highlightLine(line) {
  return escapeHtml(line).replace(
    kMarkerSpans,
    (token, digits) => '<span class="' + (digits === undefined ? 'timer' : 'marker') + '">' + token + '</span>',
  );
}

// The layer holds one block per script line, each ending in its line break, so that its
// text is the script plus one final "\n" and a trailing empty line keeps its height.
// Only the lines that changed are replaced: laying out a whole long script again on every
// keystroke would cost far more than the keystroke itself.
function renderHighlight(lines) {
  const next = lines.map(highlightLine);
  const previous = highlightLines;
  let head = 0;
  while (head < next.length && head < previous.length && next[head] === previous[head]) head++;
  let tail = 0;
  while (
    tail < next.length - head &&
    tail < previous.length - head &&
    next[next.length - 1 - tail] === previous[previous.length - 1 - tail]
  )
    tail++;
  const blocks = highlight.children;
  for (let i = previous.length - tail - 1; i >= head; i--) blocks[i].remove();
  const fragment = document.createDocumentFragment();
  for (let i = head; i < next.length - tail; i++) {
    const block = document.createElement('div');
    block.innerHTML = next[i] + '\n';
    fragment.appendChild(block);
  }
  highlight.insertBefore(fragment, blocks[head] || null);
  highlightLines = next;
}

function renderScript() {
  const text = scriptInput.value;
  const lines = text.split('\n');
  const numbers = new Array(lines.length);
  let bar = 1;
  for (let i = 0; i < lines.length; i++) {
    const match = kLeadingMarker.exec(lines[i]);
    if (match) bar = Number(match[1]);
    numbers[i] = bar;
    bar += 1;
  }
  // The gutter is rebuilt only when its numbers change: most keystrokes keep them.
  const joined = numbers.join(',');
  if (joined !== gutterNumbers) {
    gutterNumbers = joined;
    gutter.innerHTML = numbers.map((n) => '<div>' + n + '</div>').join('');
  }
  renderHighlight(lines);
  highlight.scrollTop = scriptInput.scrollTop;
  highlight.scrollLeft = scriptInput.scrollLeft;
  gutter.scrollTop = scriptInput.scrollTop;
}

function renderSettings() {
  const t = texts();
  for (const element of document.querySelectorAll('[data-t]')) {
    element.textContent = t[element.dataset.t];
  }
  ticksHelp.textContent = t.tickHelp;
  // Writing an unchanged value back would disturb the field while the user types.
  if (ticksInput.value !== String(state.timerTicks)) ticksInput.value = state.timerTicks;
  durationGroup.innerHTML = t.units
    .map(
      (label, index) =>
        '<button type="button" data-unit="' +
        index +
        '"' +
        (index === state.timerUnit ? ' class="selected"' : '') +
        '>' +
        escapeHtml(label) +
        '</button>',
    )
    .join('');
  displayModeButton.querySelector('.setting-text').textContent =
    t.mode + ': ' + (state.displayMode === 0 ? t.scroll : t.staticMode);
  autoFillButton.querySelector('.setting-text').textContent = t.autoFill + ': ' + (state.autoFill ? t.on : t.off);
  nextLineButton.querySelector('.setting-text').textContent = t.nextLine + ': ' + (state.nextLine ? t.on : t.off);
  languageButton.querySelector('.setting-text').textContent = t.language + ': ' + languageNames[state.language];
  modeBadge.textContent = transport.playing ? t.play : t.edit;
  // The header image already shows an English "EDIT" badge; the element covers it otherwise.
  modeBadge.hidden = !transport.playing && state.language === 0;
  // The lyrics file panel (lyricsfile.js, loaded after this script) follows the language.
  if (typeof renderLyricsFile === 'function') renderLyricsFile();
}

function renderMode() {
  editView.hidden = transport.playing;
  playView.hidden = !transport.playing;
  renderSettings();
  if (transport.playing) renderPlayback();
}

function updateState(patch) {
  Object.assign(state, patch);
  cues = compileCues(state);
  send();
  renderSettings();
}

// The playhead as bar and beat (from 1), the beat rounded to the nearest one: a playhead
// nearer the next bar's first beat is on that bar. Before the project start the bar is
// below 1.
function playheadPosition() {
  const length = beatLength();
  const beats = Math.max(1, Math.round(transport.beatsPerBar / length));
  const total = Math.round(transport.ppq / length);
  return { bar: Math.floor(total / beats) + 1, beat: total - Math.floor(total / beats) * beats + 1 };
}

// A bar marker names the playhead's bar, a timer marker the bar after it, each on the
// playhead's beat; bar 1 at least.
function insertToken(timer) {
  const offset = timer ? 1 : 0;
  let bar = 1 + offset;
  let beat = 1;
  if (transport.hasPpq) {
    const playhead = playheadPosition();
    bar = playhead.bar + offset;
    beat = bar < 1 ? 1 : playhead.beat;
    bar = Math.max(1, bar);
  }
  const position = String(bar) + (beat > 1 ? '.' + beat : '');
  const prefix = timer ? '[timer|' : '[';
  const token = prefix + position + ']';
  const start = scriptInput.selectionStart;
  const end = scriptInput.selectionEnd;
  const value = scriptInput.value;
  scriptInput.value = value.slice(0, start) + token + value.slice(end);
  scriptInput.focus();
  const numberStart = start + prefix.length;
  scriptInput.setSelectionRange(numberStart, numberStart + position.length);
  updateState({ script: scriptInput.value });
  renderScript();
}

scriptInput.addEventListener('input', () => {
  state.script = scriptInput.value;
  cues = compileCues(state);
  send();
  renderScript();
});
scriptInput.addEventListener('scroll', renderScript);
document.getElementById('marker').addEventListener('click', () => insertToken(false));
document.getElementById('timer').addEventListener('click', () => insertToken(true));
ticksInput.addEventListener('input', () => {
  if (ticksInput.value === '') return;
  updateState({ timerTicks: ticksFromField(Number(ticksInput.value)) });
});
durationGroup.addEventListener('click', (event) => {
  const segment = event.target.closest('[data-unit]');
  if (segment) updateState({ timerUnit: Number(segment.dataset.unit) });
});
displayModeButton.addEventListener('click', () => updateState({ displayMode: 1 - state.displayMode }));
autoFillButton.addEventListener('click', () => updateState({ autoFill: !state.autoFill }));
nextLineButton.addEventListener('click', () => updateState({ nextLine: !state.nextLine }));
languageButton.addEventListener('click', () => updateState({ language: (state.language + 1) % languageNames.length }));
brandLink.addEventListener('click', (event) => {
  if (typeof window.keloOpenBrand !== 'function') return;
  event.preventDefault();
  Promise.resolve()
    .then(() => window.keloOpenBrand())
    .then(
      (opened) => {
        if (!opened) console.error('Could not open Velmora website in the default browser');
      },
      (error) => console.error('Could not open Velmora website', error),
    );
});

// ---------------------------------------------------------------------------
// Playback display

let displayedCue = null;
let displayedMessage = '';
let displayedNext = null;
let characterSpans = [];
let characterFractions = [];

function activeCue(beat) {
  if (!transport.hasPpq) return null;
  for (let i = cues.length - 1; i >= 0; i--) {
    const cue = cues[i];
    if (cue.start <= beat && beat < cue.end) return cue;
  }
  return null;
}

// The phrase a singer reads ahead: the first one with text that starts once the shown cue
// ends (after a count-down, the phrase it counts in), or, between cues, the coming one.
function nextPhrase(cue, beat) {
  if (!transport.hasPpq) return null;
  const from = cue ? cue.end : beat;
  for (const candidate of cues) {
    if (!candidate.countdown && candidate.start >= from) return candidate;
  }
  return null;
}

function showNext(next) {
  displayedNext = next;
  playNext.textContent = next ? next.text : '';
  playNext.hidden = !next;
}

function playbackMessage(beat) {
  const t = texts();
  if (!transport.hasPpq) return t.noPosition;
  if (cues.length === 0) return t.noText;
  let lastEnd = 0;
  for (const cue of cues) lastEnd = Math.max(lastEnd, cue.end);
  return beat >= lastEnd ? t.end : '';
}

function fillGradient(fraction) {
  const percent = fraction * 100;
  return 'linear-gradient(90deg, ' + kFillColour + ' ' + percent + '%, ' + kUnfilledColour + ' ' + percent + '%)';
}

function characterFraction(filled, index) {
  return Math.min(1, Math.max(0, filled - index));
}

// The character elements are made in one pass of markup, already painted for `progress`:
// one parse is much cheaper than hundreds of element and style calls.
function rebuildPlayText(cue, message, progress) {
  displayedCue = cue;
  displayedMessage = message;
  characterSpans = [];
  characterFractions = [];
  playText.replaceChildren();
  if (cue && cue.countdown) {
    playText.className = 'countdown';
  } else if (cue) {
    playText.className = 'lyrics';
    if (state.autoFill) {
      const characters = Array.from(cue.text);
      const filled = progress * characters.length;
      let markup = '';
      for (let i = 0; i < characters.length; i++) {
        const fraction = characterFraction(filled, i);
        characterFractions.push(fraction);
        markup +=
          '<span style="background-image: ' + fillGradient(fraction) + '">' + escapeHtml(characters[i]) + '</span>';
      }
      playText.innerHTML = markup;
      characterSpans = Array.from(playText.children);
    } else {
      playText.textContent = cue.text;
    }
  } else {
    playText.className = 'message';
    playText.textContent = message;
  }
}

function paintFill(progress) {
  const filled = progress * characterSpans.length;
  for (let i = 0; i < characterSpans.length; i++) {
    const fraction = characterFraction(filled, i);
    // Most characters are wholly filled or wholly empty; skip the ones that did not change.
    if (fraction === characterFractions[i]) continue;
    characterFractions[i] = fraction;
    characterSpans[i].style.backgroundImage = fillGradient(fraction);
  }
}

function cueProgress(cue, beat) {
  return cue ? Math.min(1, Math.max(0, (beat - cue.start) / (cue.end - cue.start))) : 0;
}

// What the last reading wrote, so that a reading that moves nothing writes nothing:
// every write that changes no pixel would still cost the browser a frame.
let drawnCountdown = '';
let drawnTransform = '';

function setTransform(value) {
  if (value === drawnTransform) return;
  drawnTransform = value;
  playText.style.transform = value;
  playNext.style.transform = value;
}

function renderPlayback() {
  const beat = transport.ppq;
  const cue = activeCue(beat);
  const message = playbackMessage(beat);
  const progress = cueProgress(cue, beat);
  // Read before any write, while the layout is still clean.
  const panelHeight = playPanel.clientHeight;
  if (cue !== displayedCue || (!cue && message !== displayedMessage)) {
    rebuildPlayText(cue, message, progress);
    drawnCountdown = '';
  }
  const next = state.nextLine ? nextPhrase(cue, beat) : null;
  if (next !== displayedNext) showNext(next);

  const scrolling = state.displayMode === 0 && cue !== null && !cue.countdown;
  playPanel.classList.toggle('scrolling', scrolling);
  playPanel.classList.toggle('static', !scrolling);
  if (!cue) {
    setTransform('');
    return;
  }

  if (cue.countdown) {
    const tick = tickLength(state.timerUnit);
    const number = String(Math.max(1, state.timerTicks - Math.floor((beat - cue.start) / tick)));
    if (number !== drawnCountdown) {
      drawnCountdown = number;
      playText.textContent = number;
    }
  } else if (state.autoFill) {
    paintFill(progress);
  }
  // The next line rises with the phrase, as part of the same scroll.
  setTransform(scrolling ? 'translateY(' + -progress * panelHeight + 'px)' : '');
}

// ---------------------------------------------------------------------------
// Stage scaling and start

function scale() {
  const factor = Math.min(window.innerWidth / kStageWidth, window.innerHeight / kStageHeight);
  stage.style.transform = 'scale(' + factor + ')';
}

function adoptState(incoming) {
  Object.assign(state, incoming);
  scriptInput.value = state.script;
  cues = compileCues(state);
  renderScript();
  renderMode();
}

function adoptTransport(incoming) {
  const modeChanged = transport.playing !== incoming.playing;
  const { beatsPerBar, numerator, denominator } = transport;
  // A reading that moves nothing (a held playhead) draws nothing.
  const moved = transport.ppq !== incoming.ppq || transport.hasPpq !== incoming.hasPpq;
  Object.assign(transport, incoming);
  // Compared after the merge, so that a reading without some of these keys changes nothing.
  const meterChanged =
    transport.beatsPerBar !== beatsPerBar || transport.numerator !== numerator || transport.denominator !== denominator;
  if (meterChanged) cues = compileCues(state);
  if (modeChanged) renderMode();
  else if (transport.playing && (moved || meterChanged)) renderPlayback();
}

scale();
window.addEventListener('resize', scale);

// An edit that did not reach the host is never dropped silently: the user is told and
// can put it back (which saves it again) or let it go.
const unsavedNotice = document.getElementById('unsaved-notice');
const unsavedTexts = [
  {
    failed: 'Your last edit could not be saved.',
    replaced: 'The host loaded other lyrics before your last edit was saved.',
    retry: 'Save again',
    restore: 'Restore my edit',
  },
  {
    failed: 'Votre dernière modification n’a pas pu être enregistrée.',
    replaced: 'L’hôte a chargé d’autres paroles avant l’enregistrement de votre dernière modification.',
    retry: 'Enregistrer à nouveau',
    restore: 'Restaurer ma modification',
  },
  {
    failed: 'Non è stato possibile salvare l’ultima modifica.',
    replaced: 'L’host ha caricato altri testi prima che l’ultima modifica fosse salvata.',
    retry: 'Salva di nuovo',
    restore: 'Ripristina la modifica',
  },
  {
    failed: 'Ihre letzte Änderung konnte nicht gespeichert werden.',
    replaced: 'Der Host hat andere Songtexte geladen, bevor Ihre letzte Änderung gespeichert wurde.',
    retry: 'Erneut speichern',
    restore: 'Meine Änderung wiederherstellen',
  },
  {
    failed: 'No se pudo guardar tu último cambio.',
    replaced: 'El host cargó otra letra antes de que se guardara tu último cambio.',
    retry: 'Guardar de nuevo',
    restore: 'Restaurar mi cambio',
  },
  {
    failed: 'Не удалось сохранить последнее изменение.',
    replaced: 'Хост загрузил другой текст до того, как ваше изменение было сохранено.',
    retry: 'Сохранить снова',
    restore: 'Вернуть моё изменение',
  },
];

function showUnsaved(unsaved) {
  unsavedNotice.hidden = !unsaved;
  if (!unsaved) return;
  const texts = unsavedTexts[state.language] || unsavedTexts[0];
  document.getElementById('unsaved-text').textContent = unsaved.replaced ? texts.replaced : texts.failed;
  document.getElementById('unsaved-restore').textContent = unsaved.replaced ? texts.restore : texts.retry;
}

document.getElementById('unsaved-restore').addEventListener('click', () => {
  const kept = bridge?.takeUnsaved();
  if (!kept) return;
  // Only a displaced text needs putting back; otherwise the page still shows it.
  if (kept.replaced) adoptState(kept.state);
  send();
});
document.getElementById('unsaved-dismiss').addEventListener('click', () => bridge?.takeUnsaved());

if (bridge) {
  bridge.addEventListener('keloUnsaved', showUnsaved);
  bridge.addEventListener('keloSnapshot', adoptState);
  bridge.addEventListener('keloTransport', adoptTransport);
  bridge.emitEvent('keloReady', {});
} else {
  adoptState({ script: demoScript, timerTicks: 4 });
}
