// A stand-in for the plug-in's native functions, installed before the page script runs.
// Everything is controlled from the test through `window.__native` in the page.

const kDefaultHostState = {
  autoFill: true,
  barsPerLine: 4,
  displayMode: 0,
  language: 0,
  script: '',
  timerTicks: 1,
  timerUnit: 2,
  version: 2,
};
const kStoppedTransport = { playing: false, hasPpq: true, ppq: 0, beatsPerBar: 4 };

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
    writeMode: 'resolve', // or 'hold', 'never', 'reject', 'false'
    brandResult: true,
    heldWrites: [],
    readsInFlight: 0,
    maxReadsInFlight: 0,
    settledReads: 0,
    readWaiters: [],
    readDelayMs: options.readDelayMs ?? 0,
    // Resolves after `n` further reads have settled and their listeners have run.
    waitForReads(n) {
      return new Promise((resolve) => native.readWaiters.push({ target: native.settledReads + n, resolve }));
    },
    // Settles the oldest held write with `result`, or rejects it when result is 'reject'.
    releaseWrite(result = true) {
      const held = native.heldWrites.shift();
      held?.(result);
      return !!held;
    },
  };

  function settleRead() {
    native.readsInFlight -= 1;
    native.settledReads += 1;
    // Listeners run in the page's continuation of this promise; check on the next task.
    setTimeout(() => {
      native.readWaiters = native.readWaiters.filter((w) => native.settledReads < w.target || w.resolve());
    }, 0);
  }

  window.__native = native;
  window.keloRead = (revision) => {
    native.reads.push(revision);
    native.readsInFlight += 1;
    native.maxReadsInFlight = Math.max(native.maxReadsInFlight, native.readsInFlight);
    const snapshot = { revision: native.revision, transport: { ...native.transport } };
    if (revision !== native.revision) snapshot.state = copy(native.state);
    return new Promise((resolve, reject) => {
      const settle = () => (native.readMode === 'reject' ? reject(new Error('read refused')) : resolve(snapshot));
      if (native.readDelayMs > 0) setTimeout(settle, native.readDelayMs);
      else settle();
    }).finally(settleRead);
  };
  if (options.write !== false) {
    // Like the controller, refuses an edit made on a document other than its current one.
    window.keloWrite = (next, base) => {
      native.writes.push(copy(next));
      const current = () => !Number.isInteger(base) || base === native.revision;
      switch (native.writeMode) {
        case 'hold':
          return new Promise((resolve, reject) =>
            native.heldWrites.push((result) =>
              result === 'reject' ? reject(new Error('write refused')) : resolve(result && current()),
            ),
          );
        case 'never':
          return new Promise(() => {});
        case 'reject':
          return Promise.reject(new Error('write refused'));
      }
      if (native.writeMode === 'false' || !current()) return Promise.resolve(false);
      native.state = copy(next);
      return Promise.resolve(true);
    };
  }
  if (options.brand) {
    window.keloOpenBrand = () => {
      native.brandCalls += 1;
      return native.brandResult === 'reject'
        ? Promise.reject(new Error('shell refused'))
        : Promise.resolve(native.brandResult);
    };
  }
}

export async function installNativeMock(page, { state, transport, revision, readDelayMs, write, brand }) {
  await page.addInitScript(nativeMock, {
    state: { ...kDefaultHostState, ...state },
    transport: { ...kStoppedTransport, ...transport },
    revision,
    readDelayMs,
    write,
    brand,
  });
}

// Sets the host transport and waits until the page has taken it in (two settled polls, so
// that at least one read started after the change).
export async function feedTransport(page, transport) {
  await page.evaluate(async (t) => {
    Object.assign(window.__native.transport, t);
    await window.__native.waitForReads(2);
  }, transport);
}

// Replaces the host's state (as a project load does) and waits for the page to adopt it.
export async function feedHostState(page, patch) {
  await page.evaluate(async (p) => {
    Object.assign(window.__native.state, p);
    window.__native.revision += 1;
    await window.__native.waitForReads(2);
  }, patch);
}
