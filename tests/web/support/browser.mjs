// One Chromium per test file; each test opens its own page on the private origin.
import { after } from 'node:test';
import { createRequire } from 'node:module';
import { serveResources, kStartPage } from './resources.mjs';
import { installNativeMock } from './native.mjs';

export async function launchBrowser() {
  const { chromium } = createRequire(import.meta.url)('playwright-core'); // installed by "npm ci"
  const args =
    '--no-sandbox --disable-gpu --disable-background-networking --disable-component-update --disable-sync --no-first-run';
  return chromium.launch({ executablePath: '/usr/lib/chromium/chromium', headless: true, args: args.split(' ') });
}

// Opens the start page. With `native` the plug-in's functions are installed before the
// page script runs (see native.mjs); without it the page runs on its own. Resolves only
// once the page has drawn its settings from a state, so no test can pass on a page that
// never loaded.
export async function openPage(browser, { viewport = { width: 1188, height: 606 }, native, overrides } = {}) {
  const context = await browser.newContext({ viewport, deviceScaleFactor: 1 });
  const page = await context.newPage();
  const session = { page, context, consoleLines: [], pageErrors: [], requests: [], close: () => context.close() };
  page.on('console', (message) => session.consoleLines.push({ type: message.type(), text: message.text() }));
  page.on('pageerror', (error) => session.pageErrors.push(error));
  await serveResources(context, session.requests, overrides);
  if (native) await installNativeMock(page, native);
  await page.goto(kStartPage);
  const ready = () =>
    typeof compileCues === 'function' && document.querySelector('#language .setting-text').textContent;
  await page.waitForFunction(ready, null, { timeout: 10000 });
  return session;
}

// The test file's browser, closed after its tests; `withPage` runs `body` on a fresh page
// and closes it whatever happens.
export async function testBrowser() {
  const browser = await launchBrowser();
  after(() => browser.close());
  const withPage = async (options, body) => {
    const session = await openPage(browser, options);
    try {
      await body(session);
    } finally {
      await session.close();
    }
  };
  return { browser, withPage };
}

// One page for the whole test file.
export const sharedPage = async (options) => openPage((await testBrowser()).browser, options);

export const waitForPolls = (page, count) => page.evaluate((n) => window.__native.waitForReads(n), count);
export const setNative = (page, fields) => page.evaluate((f) => Object.assign(window.__native, f), fields);
export const releaseWrite = (page, result = true) => page.evaluate((r) => window.__native.releaseWrite(r), result);

export async function typeAtEnd(page, text) {
  await page.focus('#script');
  await page.keyboard.press('Control+End');
  await page.keyboard.type(text);
}

export async function replaceScript(page, text) {
  await page.focus('#script');
  await page.keyboard.press('Control+A');
  if (text === '') await page.keyboard.press('Delete');
  else await page.keyboard.insertText(text);
}

export const script = (page) => page.inputValue('#script');
// What the stand-in plug-in has seen: reads, scripts written, and its current script.
export const nativeLog = (page) =>
  page.evaluate(() => ({
    reads: window.__native.reads.slice(),
    writes: window.__native.writes.map((w) => w.script),
    lastWrite: window.__native.writes.at(-1),
    maxReadsInFlight: window.__native.maxReadsInFlight,
    script: window.__native.state.script,
  }));

export const errorsMentioning = (lines, text) => lines.filter((l) => l.type === 'error' && l.text.includes(text));
