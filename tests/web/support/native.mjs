// A stand-in for the plug-in's native functions, installed before the page script runs.
// Everything is controlled from the test through `window.__native` in the page.

export const kDefaultHostState = {
  autoFill: true,
  barsPerLine: 4,
  displayMode: 0,
  language: 0,
  script: '',
  timerTicks: 1,
  timerUnit: 2,
  version: 2,
};

export const kStoppedTransport = { playing: false, hasPpq: true, ppq: 0, beatsPerBar: 4 };

function nativeMock(options) {
  const native = {
    revision: options.revision ?? 1,
    state: options.state,
    transport: options.transport,
    reads: [],
    writes: [],
    brandCalls: 0,
    readMode: 'resolve',
    writeMode: 'resolve',
    brandResult: true,
    heldWrites: [],
    readsInFlight: 0,
    maxReadsInFlight: 0,
    readWaiters: [],
    // Resolves after `n` further reads have settled and their listeners have run.
    waitForReads(n) {
      const target = native.settledReads + n;
      return new Promise((resolve) => native.readWaiters.push({ target, resolve }));
    },
    settledReads: 0,
    readDelayMs: options.readDelayMs ?? 0,
    // Settles the oldest held write with `result`, or rejects it when result is 'reject'.
    releaseWrite(result = true) {
      const held = native.heldWrites.shift();
      if (held) held(result);
      return !!held;
    },
  };

  function settleRead() {
    native.readsInFlight -= 1;
    native.settledReads += 1;
    // Listeners run in the page's continuation of this promise; check on the next task.
    setTimeout(() => {
      native.readWaiters = native.readWaiters.filter((w) => {
        if (native.settledReads < w.target) return true;
        w.resolve(native.settledReads);
        return false;
      });
    }, 0);
  }

  window.__native = native;
  window.keloRead = (revision) => {
    native.reads.push(revision);
    native.readsInFlight += 1;
    native.maxReadsInFlight = Math.max(native.maxReadsInFlight, native.readsInFlight);
    const snapshot = { revision: native.revision, transport: { ...native.transport } };
    if (revision !== native.revision) snapshot.state = JSON.parse(JSON.stringify(native.state));
    const answer = new Promise((resolve, reject) => {
      const settle = () => (native.readMode === 'reject' ? reject(new Error('read refused')) : resolve(snapshot));
      if (native.readDelayMs > 0) setTimeout(settle, native.readDelayMs);
      else settle();
    });
    return answer.finally(settleRead);
  };
  if (options.write !== false) {
    // Like the controller, refuses an edit made on a document other than its current one.
    window.keloWrite = (next, base) => {
      native.writes.push(JSON.parse(JSON.stringify(next)));
      const current = () => !Number.isInteger(base) || base === native.revision;
      if (native.writeMode === 'hold') {
        return new Promise((resolve, reject) => native.heldWrites.push(
          (result) => (result === 'reject' ? reject(new Error('write refused')) : resolve(result && current()))));
      }
      if (native.writeMode === 'never') return new Promise(() => {});
      if (native.writeMode === 'reject') return Promise.reject(new Error('write refused'));
      if (native.writeMode === 'false' || !current()) return Promise.resolve(false);
      native.state = JSON.parse(JSON.stringify(next));
      return Promise.resolve(true);
    };
  }
  if (options.brand) {
    window.keloOpenBrand = () => {
      native.brandCalls += 1;
      if (native.brandResult === 'reject') return Promise.reject(new Error('shell refused'));
      return Promise.resolve(native.brandResult);
    };
  }
}

export async function installNativeMock(page, native) {
  const options = {
    state: { ...kDefaultHostState, ...(native.state || {}) },
    transport: { ...kStoppedTransport, ...(native.transport || {}) },
    revision: native.revision,
    readDelayMs: native.readDelayMs,
    write: native.write,
    brand: native.brand,
  };
  await page.addInitScript(nativeMock, options);
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
