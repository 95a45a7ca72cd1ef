// The one list of embedded files, and the page served from it under the private origin.
// How the module answers request paths is checked on the module itself, in the web view
// host's tests; the server here only stands in for it.
import { describe, it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync, readFileSync, statSync } from 'node:fs';
import { join } from 'node:path';
import { launchBrowser, openPage } from './support/browser.mjs';
import { kRepoRoot, loadResourceList } from './support/resources.mjs';
import { pngSize } from './support/png.mjs';

const kPageFiles = {
  KELO_INDEX_HTML: 'web/index.html',
  KELO_APP_JS: 'web/app.js',
  KELO_STYLE_CSS: 'web/style.css',
  KELO_LYRICSIO_JS: 'web/lyricsio.js',
  KELO_LYRICSFILE_JS: 'web/lyricsfile.js',
  KELO_LYRICSFILE_CSS: 'web/lyricsfile.css',
  KELO_HEADER_PNG: 'web/header.png',
  KELO_EDITOR_FLOURISH_PNG: 'web/editor_flourish.png',
  KELO_SETTINGS_FLOURISH_PNG: 'web/settings_flourish.png',
  KELO_VELMORA_PNG: 'web/velmora.png',
};
const kNotices = ['KELO_THIRD_PARTY_NOTICES_TXT', 'KELO_APACHE_2_0_TXT', 'KELO_NLOHMANN_JSON_MIT_TXT',
  'KELO_VST3_SDK_MIT_TXT', 'KELO_WEBVIEW2_LICENSE_TXT', 'KELO_WEBVIEW2_NOTICE_TXT'];
const kImageSizes = {
  KELO_HEADER_PNG: [1584, 97],
  KELO_EDITOR_FLOURISH_PNG: [375, 96],
  KELO_SETTINGS_FLOURISH_PNG: [90, 40],
  KELO_VELMORA_PNG: [254, 160],
};

describe('the list of embedded files', () => {
  const list = loadResourceList();

  it('names the page files and the six notices, each an existing non-empty file', () => {
    assert.deepEqual([...list.keys()].sort(), [...Object.keys(kPageFiles), ...kNotices].sort());
    for (const [name, path] of Object.entries(kPageFiles)) assert.equal(list.get(name), path);
    for (const path of list.values()) {
      assert.ok(existsSync(join(kRepoRoot, path)), path + ' exists');
      assert.ok(statSync(join(kRepoRoot, path)).size > 0, path + ' is not empty');
    }
  });

  it('holds images of the sizes the page lays out', () => {
    for (const [name, [width, height]] of Object.entries(kImageSizes)) {
      assert.deepEqual(pngSize(readFileSync(join(kRepoRoot, list.get(name)))), { width, height }, name);
    }
  });

  it('carries the licence texts of the libraries in the module', () => {
    const text = (name) => readFileSync(join(kRepoRoot, list.get(name)), 'utf8');
    assert.match(text('KELO_APACHE_2_0_TXT'), /Apache License\s+Version 2\.0, January 2004/);
    assert.match(text('KELO_NLOHMANN_JSON_MIT_TXT'), /Niels Lohmann[\s\S]*Permission is hereby granted, free of charge/);
    assert.match(text('KELO_VST3_SDK_MIT_TXT'), /Copyright \(c\) 2025, Steinberg Media Technologies GmbH[\s\S]*Permission is hereby granted/);
    assert.match(text('KELO_WEBVIEW2_LICENSE_TXT'), /Microsoft Corporation[\s\S]*Redistribution and use in source and binary forms/);
    assert.match(text('KELO_WEBVIEW2_NOTICE_TXT'), /Microsoft\.Web\.WebView2/);
    for (const file of ['vst3_sdk_mit.txt', 'nlohmann_json_mit.txt', 'webview2_license.txt', 'webview2_notice.txt', 'apache_2.0.txt']) {
      assert.ok(text('KELO_THIRD_PARTY_NOTICES_TXT').includes(file), 'notices point at ' + file);
    }
  });

});

describe('the page served from the list', () => {
  let browser;
  let session;
  before(async () => {
    browser = await launchBrowser();
    session = await openPage(browser, { native: {} });
  });
  after(async () => { await browser?.close(); });

  it('loads every page file by its relative name', async () => {
    const served = new Map(session.requests.map((r) => [r.name, r]));
    for (const name of Object.keys(kPageFiles)) {
      assert.equal(served.get(name)?.status, 200, name + ' served');
    }
    assert.ok(session.requests.every((r) => r.status === 200), 'nothing the page asks for is missing');
    const images = await session.page.$$eval('img', (all) => all.map((i) => [i.getAttribute('src'), i.naturalWidth]));
    assert.deepEqual(images, [['header.png', 1584], ['velmora.png', 254], ['editor_flourish.png', 375],
      ['settings_flourish.png', 90]]);
    assert.deepEqual(session.pageErrors, []);
  });

  it('shows the document\'s own texts and the maker\'s link', async () => {
    const page = session.page;
    assert.equal(await page.title(), 'Kelo');
    assert.equal(await page.getAttribute('html', 'lang'), 'en');
    assert.deepEqual(await page.$eval('#brand-link', (a) => [a.href, a.target, a.rel, a.getAttribute('aria-label')]),
      ['https://velmora.example/', '_blank', 'noopener noreferrer', 'Velmora — open website in browser']);
    assert.equal(await page.textContent('.version-label'), 'v0.1.7');
    assert.equal(await page.getAttribute('#script', 'spellcheck'), 'false');
    assert.equal(await page.getAttribute('#highlight', 'aria-hidden'), 'true');
  });
});
