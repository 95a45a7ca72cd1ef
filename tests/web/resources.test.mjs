// The one list of embedded files, and the page served from it under the private origin.
// How the module answers request paths is checked on the module itself, in the web view
// host's tests; the server here only stands in for it.
import { it, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { existsSync, readFileSync, statSync } from 'node:fs';
import { join } from 'node:path';
import { launchBrowser, openPage } from './support/browser.mjs';
import { kRepoRoot, loadResourceList } from './support/resources.mjs';

const kPageFiles = [
  'index.html',
  'app.js',
  'style.css',
  'lyricsio.js',
  'lyricsfile.js',
  'lyricsfile.css',
  'header.png',
  'editor_flourish.png',
  'settings_flourish.png',
  'velmora.png',
];
const kNameOf = (file) => 'KELO_' + file.toUpperCase().replace(/[^0-9A-Z]/g, '_');
// [resource, what the licence text must say]
const kNotices = [
  ['KELO_THIRD_PARTY_NOTICES_TXT', /./],
  ['KELO_APACHE_2_0_TXT', /Apache License\s+Version 2\.0, January 2004/],
  ['KELO_NLOHMANN_JSON_MIT_TXT', /Niels Lohmann[\s\S]*Permission is hereby granted, free of charge/],
  [
    'KELO_VST3_SDK_MIT_TXT',
    /Copyright \(c\) 2025, Steinberg Media Technologies GmbH[\s\S]*Permission is hereby granted/,
  ],
  ['KELO_WEBVIEW2_LICENSE_TXT', /Microsoft Corporation[\s\S]*Redistribution and use in source and binary forms/],
  ['KELO_WEBVIEW2_NOTICE_TXT', /Microsoft\.Web\.WebView2/],
];

it('lists the page files and the licence texts, each an existing file saying what it must', () => {
  const list = loadResourceList();
  assert.deepEqual([...list.keys()].sort(), [...kPageFiles.map(kNameOf), ...kNotices.map(([name]) => name)].sort());
  for (const file of kPageFiles) assert.equal(list.get(kNameOf(file)), 'web/' + file);
  for (const path of list.values())
    assert.ok(existsSync(join(kRepoRoot, path)) && statSync(join(kRepoRoot, path)).size > 0, path);
  const text = (name) => readFileSync(join(kRepoRoot, list.get(name)), 'utf8');
  for (const [name, pattern] of kNotices) assert.match(text(name), pattern, name);
  for (const file of [
    'vst3_sdk_mit.txt',
    'nlohmann_json_mit.txt',
    'webview2_license.txt',
    'webview2_notice.txt',
    'apache_2.0.txt',
  ]) {
    assert.ok(text('KELO_THIRD_PARTY_NOTICES_TXT').includes(file), 'the notices point at ' + file);
  }
});

let browser;
before(async () => {
  browser = await launchBrowser();
});
after(async () => {
  await browser?.close();
});

it("serves every page file by its relative name, images of the sizes laid out, and the document's own texts", async () => {
  const { page, requests, pageErrors } = await openPage(browser, { native: {} });
  assert.deepEqual(
    kPageFiles.map(kNameOf).filter((name) => !requests.some((r) => r.name === name && r.status === 200)),
    [],
  );
  assert.ok(
    requests.every((r) => r.status === 200),
    'nothing the page asks for is missing',
  );
  assert.deepEqual(
    await page.$$eval('img', (all) => all.map((i) => [i.getAttribute('src'), i.naturalWidth, i.naturalHeight])),
    [
      ['header.png', 1584, 97],
      ['velmora.png', 254, 160],
      ['editor_flourish.png', 375, 96],
      ['settings_flourish.png', 90, 40],
    ],
  );
  assert.deepEqual(pageErrors, []);
  assert.deepEqual(
    await page.evaluate(() => [
      document.title,
      document.documentElement.lang,
      document.querySelector('.version-label').textContent,
      document.getElementById('script').spellcheck,
      document.getElementById('highlight').getAttribute('aria-hidden'),
    ]),
    ['Kelo', 'en', 'v0.1.7', false, 'true'],
  );
  assert.deepEqual(await page.$eval('#brand-link', (a) => [a.href, a.target, a.rel, a.getAttribute('aria-label')]), [
    'https://velmora.example/',
    '_blank',
    'noopener noreferrer',
    'Velmora — open website in browser',
  ]);
});
