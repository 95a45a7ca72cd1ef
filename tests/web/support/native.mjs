// A stand-in for the plug-in's native functions, installed before the page script runs.
// Everything is controlled from the test through `window.__native` in the page.

function nativeMock(options) {
  const copy = (value) => JSON.parse(JSON.stringify(value));
  const native = {
    revision: options.revision ?? 1,
    state: options.state,
    transport: options.transport,
    reads: [],
    writes: [],
    brandCalls: 0,
    readMode: 'resolve', // or 'reject'
    writeMode: 'resolve', // or 'hold', 'never', 'false'
    brandResult: true,
    heldWrites: [],
    readsInFlight: 0,
    maxReadsInFlight: 0,
    settledReads: 0,
    readWaiters: [],
    // Resolves after `n` further reads have settled and their listeners have run.
    waitForReads: (n) =>
      new Promise((resolve) => native.readWaiters.push({ target: native.settledReads + n, resolve })),
    // Settles the oldest held write with `result`, or rejects it when result is 'reject'.
    releaseWrite: (result = true) => native.heldWrites.shift()?.(result),
  };
  window.__native = native;
  window.keloRead = (revision) => {
    native.reads.push(revision);
    native.maxReadsInFlight = Math.max(native.maxReadsInFlight, ++native.readsInFlight);
    const snapshot = { revision: native.revision, transport: { ...native.transport } };
    if (revision !== native.revision) snapshot.state = copy(native.state);
    return new Promise((resolve, reject) => {
      const settle = () => (native.readMode === 'reject' ? reject(new Error('read refused')) : resolve(snapshot));
      setTimeout(settle, options.readDelayMs ?? 0);
    }).finally(() => {
      native.readsInFlight -= 1;
      native.settledReads += 1;
      // Listeners run in the page's continuation of this promise; check on the next task.
      setTimeout(() => {
        native.readWaiters = native.readWaiters.filter((w) => native.settledReads < w.target || w.resolve());
      }, 0);
    });
  };
  // Like the controller, refuses an edit made on a document other than its current one.
  if (options.write !== false) {
    window.keloWrite = (next, base) => {
      native.writes.push(copy(next));
      const current = () => !Number.isInteger(base) || base === native.revision;
      if (native.writeMode === 'never') return new Promise(() => {});
      if (native.writeMode === 'hold') {
        return new Promise((resolve, reject) =>
          native.heldWrites.push((r) =>
            r === 'reject' ? reject(new Error('write refused')) : resolve(r && current()),
          ),
        );
      }
      if (native.writeMode === 'false' || !current()) return Promise.resolve(false);
      native.state = copy(next);
      return Promise.resolve(true);
    };
  }
  if (options.brand) {
    window.keloOpenBrand = () => {
      native.brandCalls += 1;
      const result = native.brandResult;
      return result === 'reject' ? Promise.reject(new Error('shell refused')) : Promise.resolve(result);
    };
  }
}

const kHostState = { autoFill: true, barsPerLine: 4, displayMode: 0, language: 0, script: '' };
export async function installNativeMock(page, { state, transport, ...options }) {
  await page.addInitScript(nativeMock, {
    state: { ...kHostState, timerTicks: 1, timerUnit: 2, version: 2, ...state },
    transport: { playing: false, hasPpq: true, ppq: 0, beatsPerBar: 4, ...transport },
    ...options,
  });
}

// Sets the host transport and waits until the page has taken it in (two settled polls, so
// that at least one read started after the change).
export const feedTransport = (page, transport) =>
  page.evaluate(async (t) => {
    Object.assign(window.__native.transport, t);
    await window.__native.waitForReads(2);
  }, transport);

// Replaces the host's state (as a project load does) and waits for the page to adopt it.
export const feedHostState = (page, patch) =>
  page.evaluate(async (p) => {
    Object.assign(window.__native.state, p);
    window.__native.revision += 1;
    await window.__native.waitForReads(2);
  }, patch);
