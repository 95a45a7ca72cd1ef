'use strict';
// The editor's "Import / Export" panel: a MIDI or LRC file, chosen or dropped onto the page,
// is shown as a script preview that replaces the lyrics only when confirmed (as one edit
// that the text area's undo takes back); the lyrics are saved as MIDI or LRC, or copied as
// LRC. Runs after app.js and uses its records (`state`, `transport`), `compileCues` and the
// text area; the file formats are lyricsio.js.

const lyricsTexts = [
  {
    button: 'Import / Export',
    title: 'Lyrics file',
    open: 'Open MIDI or LRC file…',
    dropHint: 'or drop the file onto the lyrics',
    saveMidi: 'Save as MIDI',
    saveLrc: 'Save as LRC',
    copyLrc: 'Copy as LRC',
    tempo: 'Tempo (BPM)',
    startBar: 'Starting bar',
    preview: 'Preview',
    confirm: 'Replace lyrics',
    cancel: 'Cancel',
    close: 'Close',
    copied: 'LRC copied to the clipboard.',
    copyFailed: 'Could not copy to the clipboard.',
    ioNotLyrics: 'This file is neither a MIDI nor an LRC lyrics file.',
    ioDamaged: 'This MIDI file is damaged or incomplete.',
    ioTooLarge: 'This file is too large (more than 4 MiB).',
    ioSmpte: 'MIDI files timed in SMPTE frames are not supported.',
    ioNoLyrics: 'This MIDI file holds no lyrics.',
    ioNoTimes: 'This LRC file holds no time tags.',
    ioNeedTempo: "Type the song's tempo in BPM (10 to 999).",
    ioNothing: 'There are no timed lyrics to export.',
    ioTooLong: 'These lyrics reach beyond bar 1000000.',
  },
  {
    button: 'Importer / Exporter',
    title: 'Fichier de paroles',
    open: 'Ouvrir un fichier MIDI ou LRC…',
    dropHint: 'ou déposez le fichier sur les paroles',
    saveMidi: 'Enregistrer en MIDI',
    saveLrc: 'Enregistrer en LRC',
    copyLrc: 'Copier en LRC',
    tempo: 'Tempo (BPM)',
    startBar: 'Mesure de départ',
    preview: 'Aperçu',
    confirm: 'Remplacer les paroles',
    cancel: 'Annuler',
    close: 'Fermer',
    copied: 'LRC copié dans le presse-papiers.',
    copyFailed: 'Impossible de copier dans le presse-papiers.',
    ioNotLyrics: 'Ce fichier n’est ni un fichier MIDI ni un fichier LRC.',
    ioDamaged: 'Ce fichier MIDI est endommagé ou incomplet.',
    ioTooLarge: 'Ce fichier est trop volumineux (plus de 4 Mio).',
    ioSmpte: 'Les fichiers MIDI minutés en images SMPTE ne sont pas pris en charge.',
    ioNoLyrics: 'Ce fichier MIDI ne contient pas de paroles.',
    ioNoTimes: 'Ce fichier LRC ne contient aucune balise de temps.',
    ioNeedTempo: 'Saisissez le tempo du morceau en BPM (10 à 999).',
    ioNothing: 'Aucune parole minutée à exporter.',
    ioTooLong: 'Ces paroles vont au-delà de la mesure 1000000.',
  },
  {
    button: 'Importa / Esporta',
    title: 'File del testo',
    open: 'Apri file MIDI o LRC…',
    dropHint: 'oppure trascina il file sul testo',
    saveMidi: 'Salva come MIDI',
    saveLrc: 'Salva come LRC',
    copyLrc: 'Copia come LRC',
    tempo: 'Tempo (BPM)',
    startBar: 'Battuta iniziale',
    preview: 'Anteprima',
    confirm: 'Sostituisci il testo',
    cancel: 'Annulla',
    close: 'Chiudi',
    copied: 'LRC copiato negli appunti.',
    copyFailed: 'Impossibile copiare negli appunti.',
    ioNotLyrics: 'Questo file non è né un file MIDI né un file LRC.',
    ioDamaged: 'Questo file MIDI è danneggiato o incompleto.',
    ioTooLarge: 'Questo file è troppo grande (oltre 4 MiB).',
    ioSmpte: 'I file MIDI temporizzati in frame SMPTE non sono supportati.',
    ioNoLyrics: 'Questo file MIDI non contiene testo.',
    ioNoTimes: 'Questo file LRC non contiene indicazioni di tempo.',
    ioNeedTempo: 'Inserisci il tempo del brano in BPM (da 10 a 999).',
    ioNothing: 'Nessun testo temporizzato da esportare.',
    ioTooLong: 'Questo testo va oltre la battuta 1000000.',
  },
  {
    button: 'Import / Export',
    title: 'Liedtextdatei',
    open: 'MIDI- oder LRC-Datei öffnen…',
    dropHint: 'oder die Datei auf den Liedtext ziehen',
    saveMidi: 'Als MIDI speichern',
    saveLrc: 'Als LRC speichern',
    copyLrc: 'Als LRC kopieren',
    tempo: 'Tempo (BPM)',
    startBar: 'Starttakt',
    preview: 'Vorschau',
    confirm: 'Liedtext ersetzen',
    cancel: 'Abbrechen',
    close: 'Schließen',
    copied: 'LRC in die Zwischenablage kopiert.',
    copyFailed: 'Kopieren in die Zwischenablage nicht möglich.',
    ioNotLyrics: 'Diese Datei ist weder eine MIDI- noch eine LRC-Datei.',
    ioDamaged: 'Diese MIDI-Datei ist beschädigt oder unvollständig.',
    ioTooLarge: 'Diese Datei ist zu groß (über 4 MiB).',
    ioSmpte: 'MIDI-Dateien mit SMPTE-Zeitbasis werden nicht unterstützt.',
    ioNoLyrics: 'Diese MIDI-Datei enthält keinen Liedtext.',
    ioNoTimes: 'Diese LRC-Datei enthält keine Zeitmarken.',
    ioNeedTempo: 'Tempo des Songs in BPM eingeben (10 bis 999).',
    ioNothing: 'Kein getimter Liedtext zum Exportieren.',
    ioTooLong: 'Dieser Liedtext reicht über Takt 1000000 hinaus.',
  },
  {
    button: 'Importar / Exportar',
    title: 'Archivo de letra',
    open: 'Abrir archivo MIDI o LRC…',
    dropHint: 'o suelta el archivo sobre la letra',
    saveMidi: 'Guardar como MIDI',
    saveLrc: 'Guardar como LRC',
    copyLrc: 'Copiar como LRC',
    tempo: 'Tempo (BPM)',
    startBar: 'Compás inicial',
    preview: 'Vista previa',
    confirm: 'Reemplazar la letra',
    cancel: 'Cancelar',
    close: 'Cerrar',
    copied: 'LRC copiado al portapapeles.',
    copyFailed: 'No se pudo copiar al portapapeles.',
    ioNotLyrics: 'Este archivo no es ni MIDI ni LRC.',
    ioDamaged: 'Este archivo MIDI está dañado o incompleto.',
    ioTooLarge: 'Este archivo es demasiado grande (más de 4 MiB).',
    ioSmpte: 'No se admiten archivos MIDI con tiempo SMPTE.',
    ioNoLyrics: 'Este archivo MIDI no contiene letra.',
    ioNoTimes: 'Este archivo LRC no contiene marcas de tiempo.',
    ioNeedTempo: 'Escribe el tempo de la canción en BPM (de 10 a 999).',
    ioNothing: 'No hay letra sincronizada para exportar.',
    ioTooLong: 'Esta letra va más allá del compás 1000000.',
  },
  {
    button: 'Импорт / Экспорт',
    title: 'Файл текста',
    open: 'Открыть файл MIDI или LRC…',
    dropHint: 'или перетащите файл на текст',
    saveMidi: 'Сохранить как MIDI',
    saveLrc: 'Сохранить как LRC',
    copyLrc: 'Копировать как LRC',
    tempo: 'Темп (BPM)',
    startBar: 'Начальный такт',
    preview: 'Предпросмотр',
    confirm: 'Заменить текст',
    cancel: 'Отмена',
    close: 'Закрыть',
    copied: 'LRC скопирован в буфер обмена.',
    copyFailed: 'Не удалось скопировать в буфер обмена.',
    ioNotLyrics: 'Этот файл не является ни файлом MIDI, ни файлом LRC.',
    ioDamaged: 'Этот файл MIDI повреждён или неполон.',
    ioTooLarge: 'Файл слишком большой (более 4 МиБ).',
    ioSmpte: 'Файлы MIDI со временем SMPTE не поддерживаются.',
    ioNoLyrics: 'В этом файле MIDI нет текста.',
    ioNoTimes: 'В этом файле LRC нет меток времени.',
    ioNeedTempo: 'Введите темп песни в BPM (от 10 до 999).',
    ioNothing: 'Нет размеченного текста для экспорта.',
    ioTooLong: 'Этот текст выходит за такт 1000000.',
  },
];

const kMinTempo = 10;
const kMaxTempo = 999;

const lyricsFileButton = document.getElementById('lyrics-file');
const lyricsPanel = document.getElementById('lyrics-panel');
const lyricsInput = document.getElementById('lyrics-input');
const lyricsTempo = document.getElementById('lyrics-tempo');
const lyricsBar = document.getElementById('lyrics-bar');
const lyricsBarField = document.getElementById('lyrics-bar-field');
const lyricsMenu = document.getElementById('lyrics-menu');
const lyricsPreview = document.getElementById('lyrics-preview');
const lyricsSource = document.getElementById('lyrics-source');
const lyricsPreviewText = document.getElementById('lyrics-preview-text');
const lyricsConfirm = document.getElementById('lyrics-confirm');
const lyricsMessage = document.getElementById('lyrics-message');

// The file read into the preview: { name, kind, script } for MIDI, { name, kind, lines } for LRC.
let lyricsPending = null;
let lyricsMessageKey = '';
// Only the newest of several files dropped in quick succession reaches the preview.
let lyricsLoads = 0;

function lyricsText(key) {
  return (lyricsTexts[state.language] || lyricsTexts[0])[key];
}

// Redrawn with the settings, so that the panel follows the interface language.
function renderLyricsFile() {
  for (const element of document.querySelectorAll('[data-io]')) element.textContent = lyricsText(element.dataset.io);
  document.getElementById('lyrics-close').setAttribute('aria-label', lyricsText('close'));
  lyricsMessage.textContent = lyricsMessageKey ? lyricsText(lyricsMessageKey) : '';
}

function showLyricsMessage(key) {
  lyricsMessageKey = key;
  lyricsMessage.textContent = key ? lyricsText(key) : '';
}

function hostTempo() {
  return transport.hasTempo && transport.tempo > 0 ? Math.round(transport.tempo * 1000) / 1000 : null;
}

// The typed tempo, or null when the field holds none in range.
function typedTempo() {
  const value = Number(lyricsTempo.value);
  return lyricsTempo.value !== '' && value >= kMinTempo && value <= kMaxTempo ? value : null;
}

function openLyricsPanel() {
  const tempo = hostTempo();
  if (tempo !== null) lyricsTempo.value = tempo;
  closePreview();
  showLyricsMessage('');
  lyricsPanel.hidden = false;
}

function closeLyricsPanel() {
  closePreview();
  showLyricsMessage('');
  lyricsPanel.hidden = true;
}

function closePreview() {
  lyricsPending = null;
  lyricsPreview.hidden = true;
  lyricsMenu.hidden = false;
  lyricsBarField.hidden = true;
}

// The script the preview would put in, or null (with its message shown) when there is none.
function previewScript() {
  if (!lyricsPending) return null;
  if (lyricsPending.kind === 'midi') return lyricsPending.script;
  const tempo = typedTempo();
  if (tempo === null) {
    showLyricsMessage('ioNeedTempo');
    return null;
  }
  const startBar = Math.min(1000000, Math.max(1, Math.trunc(Number(lyricsBar.value)) || 1));
  const result = lyricsIO.lrcToScript(lyricsPending.lines, { tempo, startBar, meter: lyricsIO.hostMeter(transport) });
  showLyricsMessage(result.error || '');
  return result.error ? null : result.script;
}

function renderPreview() {
  const script = previewScript();
  lyricsPreviewText.value = script === null ? '' : script;
  lyricsConfirm.disabled = script === null;
}

async function loadLyricsFile(file) {
  const load = ++lyricsLoads;
  if (lyricsPanel.hidden) openLyricsPanel();
  closePreview();
  showLyricsMessage('');
  if (file.size > lyricsIO.kMaxFileBytes) {
    showLyricsMessage('ioTooLarge');
    return;
  }
  let bytes;
  try {
    bytes = new Uint8Array(await file.arrayBuffer());
  } catch (error) {
    showLyricsMessage('ioNotLyrics');
    return;
  }
  if (load !== lyricsLoads) return;
  const result = lyricsIO.readLyricsFile(bytes, file.name);
  if (result.error) {
    showLyricsMessage(result.error);
    return;
  }
  lyricsPending = { name: file.name, ...result };
  lyricsSource.textContent = file.name;
  lyricsMenu.hidden = true;
  lyricsPreview.hidden = false;
  lyricsBarField.hidden = result.kind !== 'lrc';
  lyricsBar.value = 1;
  renderPreview();
}

// Replaces the whole script through the editing commands, so that the text area's own undo
// takes the import back in one step. Chromium reports one input event per line of the
// inserted text; they are held back and the editor hears one, which saves the new script
// like any edit.
let replacingScript = false;
window.addEventListener(
  'input',
  (event) => {
    if (replacingScript && event.target === scriptInput) event.stopImmediatePropagation();
  },
  true,
);

function replaceScript(text) {
  scriptInput.focus();
  scriptInput.select();
  replacingScript = true;
  let inserted = false;
  try {
    inserted = document.execCommand('insertText', false, text);
  } finally {
    replacingScript = false;
  }
  if (!inserted || scriptInput.value !== text) scriptInput.value = text;
  scriptInput.dispatchEvent(new Event('input'));
  scriptInput.setSelectionRange(0, 0);
  scriptInput.scrollTop = 0;
  renderScript();
}

function confirmImport() {
  const script = previewScript();
  if (script === null) return;
  closeLyricsPanel();
  replaceScript(script);
}

// The phrases to export, or null (with the message shown) when there are none.
function exportCues() {
  const list = compileCues(state).filter((cue) => !cue.countdown);
  if (list.length === 0) showLyricsMessage('ioNothing');
  return list.length === 0 ? null : list;
}

function lrcText() {
  const list = exportCues();
  if (!list) return null;
  const tempo = typedTempo();
  if (tempo === null) {
    showLyricsMessage('ioNeedTempo');
    return null;
  }
  return lyricsIO.writeLrc(list, { tempo, spread: state.autoFill });
}

// Below this, an AbortError from the save dialog is the browser refusing to show one (headless
// Chromium answers so at once), not a user who cancelled.
const kRefusedDialogMs = 150;

// A save dialog where the browser offers one (WebView2, Chromium in a window), else a
// download, which WebView2 and Chromium put into the user's downloads folder.
async function saveLyricsFile(name, bytes, type, extension) {
  if (typeof window.showSaveFilePicker === 'function') {
    const asked = performance.now();
    try {
      const handle = await window.showSaveFilePicker({
        suggestedName: name,
        types: [{ description: extension.toUpperCase(), accept: { [type]: ['.' + extension] } }],
      });
      const writable = await handle.createWritable();
      await writable.write(bytes);
      await writable.close();
      return;
    } catch (error) {
      const cancelled = error && error.name === 'AbortError' && performance.now() - asked >= kRefusedDialogMs;
      if (cancelled) return;
    }
  }
  const url = URL.createObjectURL(new Blob([bytes], { type }));
  const link = document.createElement('a');
  link.href = url;
  link.download = name;
  link.hidden = true;
  document.body.appendChild(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

function saveMidi() {
  const list = exportCues();
  if (!list) return;
  showLyricsMessage('');
  const title = lyricsIO.fileName(state.script, 'mid');
  const bytes = lyricsIO.writeMidi(list, {
    meter: lyricsIO.hostMeter(transport),
    tempo: typedTempo() || 0,
    spread: state.autoFill,
    title: title.slice(0, -4),
  });
  return saveLyricsFile(title, bytes, 'audio/midi', 'mid');
}

function saveLrc() {
  const text = lrcText();
  if (text === null) return;
  showLyricsMessage('');
  return saveLyricsFile(lyricsIO.fileName(state.script, 'lrc'), new TextEncoder().encode(text), 'text/plain', 'lrc');
}

async function copyLrc() {
  const text = lrcText();
  if (text === null) return;
  try {
    await navigator.clipboard.writeText(text);
    showLyricsMessage('copied');
  } catch (error) {
    // The asynchronous clipboard refuses a document without focus; the editing command
    // still copies a selection while the click's activation lasts.
    const holder = document.createElement('textarea');
    holder.value = text;
    lyricsPanel.appendChild(holder);
    holder.select();
    const copied = document.execCommand('copy');
    holder.remove();
    showLyricsMessage(copied ? 'copied' : 'copyFailed');
  }
}

function carriesFiles(event) {
  return !!event.dataTransfer && Array.from(event.dataTransfer.types || []).includes('Files');
}

lyricsFileButton.addEventListener('click', () => (lyricsPanel.hidden ? openLyricsPanel() : closeLyricsPanel()));
document.getElementById('lyrics-close').addEventListener('click', closeLyricsPanel);
document.getElementById('lyrics-open').addEventListener('click', () => lyricsInput.click());
document.getElementById('lyrics-save-midi').addEventListener('click', saveMidi);
document.getElementById('lyrics-save-lrc').addEventListener('click', saveLrc);
document.getElementById('lyrics-copy-lrc').addEventListener('click', copyLrc);
document.getElementById('lyrics-cancel').addEventListener('click', closeLyricsPanel);
lyricsConfirm.addEventListener('click', confirmImport);
lyricsTempo.addEventListener('input', renderPreview);
lyricsBar.addEventListener('input', renderPreview);
lyricsInput.addEventListener('change', () => {
  const file = lyricsInput.files[0];
  lyricsInput.value = '';
  if (file) loadLyricsFile(file);
});
document.addEventListener('keydown', (event) => {
  if (event.key === 'Escape' && !lyricsPanel.hidden) closeLyricsPanel();
});
// A file dropped anywhere on the page would otherwise replace the page itself.
window.addEventListener('dragover', (event) => {
  if (!carriesFiles(event)) return;
  event.preventDefault();
  event.dataTransfer.dropEffect = editView.hidden ? 'none' : 'copy';
});
window.addEventListener('drop', (event) => {
  if (!carriesFiles(event)) return;
  event.preventDefault();
  const file = event.dataTransfer.files[0];
  if (file && !editView.hidden) loadLyricsFile(file);
});
renderLyricsFile();
