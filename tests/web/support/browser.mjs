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
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run'],
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
    () => typeof compileCues === 'function' &&
      document.querySelector('#language .setting-text').textContent !== '',
    null, { timeout: kReadyTimeoutMs });
}

export function waitForPolls(page, count) {
  return page.evaluate((n) => window.__native.waitForReads(n), count);
}
