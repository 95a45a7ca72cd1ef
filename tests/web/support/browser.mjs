// One Chromium per test file; each test opens its own page on the private origin.
import { createRequire } from 'node:module';
import { serveResources, kStartPage } from './resources.mjs';
import { installNativeMock } from './native.mjs';

const require = createRequire(import.meta.url);

export const kChromium = '/usr/lib/chromium/chromium';
export const kDefaultViewport = { width: 1188, height: 606 };
const kReadyTimeoutMs = 10000;

function loadPlaywright() {
  try {
    return require('playwright-core');
  } catch (error) {
    throw new Error('playwright-core is not installed: run "npm ci" in the repository root (' + error.message + ')');
  }
}

export async function launchBrowser() {
  const { chromium } = loadPlaywright();
  return chromium.launch({
    executablePath: kChromium,
    headless: true,
    args: [
      '--no-sandbox',
      '--disable-gpu',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
      '--no-first-run',
    ],
  });
}

// Opens the start page. With `native` the plug-in's functions are installed before the
// page script runs (see native.mjs); without it the page runs on its own.
// Resolves only once the page has drawn its settings from a state, so no test can pass
// on a page that never loaded.
export async function openPage(browser, { viewport = kDefaultViewport, native, overrides } = {}) {
  const context = await browser.newContext({ viewport, deviceScaleFactor: 1 });
  const page = await context.newPage();
  const consoleLines = [];
  const pageErrors = [];
  page.on('console', (message) => consoleLines.push({ type: message.type(), text: message.text() }));
  page.on('pageerror', (error) => pageErrors.push(error));
  const requests = [];
  await serveResources(context, requests, overrides);
  if (native) await installNativeMock(page, native);
  await page.goto(kStartPage);
  await waitForReady(page);
  return { page, context, consoleLines, pageErrors, requests, close: () => context.close() };
}

async function waitForReady(page) {
  await page.waitForFunction(
    () => typeof compileCues === 'function' && document.querySelector('#language .setting-text').textContent !== '',
    null,
    { timeout: kReadyTimeoutMs },
  );
}

export function waitForPolls(page, count) {
  return page.evaluate((n) => window.__native.waitForReads(n), count);
}

// Runs `body` on a fresh page and closes it whatever happens.
export async function withPage(browser, options, body) {
  const session = await openPage(browser, options);
  try {
    await body(session);
  } finally {
    await session.close();
  }
}

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
