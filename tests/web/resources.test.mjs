// The one list of embedded files, and the page served from it under the private origin.
// How the module answers request paths is checked on the module itself, in the web view
// host's tests; the server here only stands in for it.
import { it } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { openPage, testBrowser } from './support/browser.mjs';
import { kRepoRoot, loadResourceList } from './support/resources.mjs';

const kPageFiles = 'index.html app.js style.css lyricsio.js lyricsfile.js lyricsfile.css'.split(' ');
const kImages = [
  ['header.png', 1584, 97],
  ['velmora.png', 254, 160],
  ['editor_flourish.png', 375, 96],
  ['settings_flourish.png', 90, 40],
];
const kNameOf = (file) => 'KELO_' + file.toUpperCase().replace(/[^0-9A-Z]/g, '_');
// [licence file, what it must say]; the notices name every one of them.
const kLicences = [
  ['apache_2.0.txt', /Apache License\s+Version 2\.0, January 2004/],
  ['nlohmann_json_mit.txt', /Niels Lohmann[\s\S]*Permission is hereby granted, free of charge/],
  ['vst3_sdk_mit.txt', /Copyright \(c\) 2025, Steinberg Media Technologies GmbH[\s\S]*Permission is hereby granted/],
  ['webview2_license.txt', /Microsoft Corporation[\s\S]*Redistribution and use in source and binary forms/],
  ['webview2_notice.txt', /Microsoft\.Web\.WebView2/],
];

it('lists the page files and the licence texts, each an existing file saying what it must', () => {
  const list = loadResourceList();
  const files = [...kPageFiles, ...kImages.map(([file]) => file)];
  const names = [...files, 'third_party_notices.txt', ...kLicences.map(([file]) => file)].map(kNameOf);
  assert.deepEqual([...list.keys()].sort(), names.sort());
  for (const file of files) assert.equal(list.get(kNameOf(file)), 'web/' + file);
  const text = (file) => readFileSync(join(kRepoRoot, list.get(kNameOf(file))), 'utf8');
  for (const [file, pattern] of kLicences) {
    assert.match(text(file), pattern, file);
    assert.ok(text('third_party_notices.txt').includes(file), 'the notices point at ' + file);
  }
});

it("serves every page file by its relative name, images of the sizes laid out, and the document's own texts", async () => {
  const { page, requests, pageErrors } = await openPage((await testBrowser()).browser, { native: {} });
  const expected = [...kPageFiles, ...kImages.map(([file]) => file)].map(kNameOf);
  assert.deepEqual(requests.map((r) => r.status === 200 && r.name).sort(), expected.sort(), 'each served once, no 404');
  const images = await page.$$eval('img', (all) =>
    all.map((i) => [i.getAttribute('src'), i.naturalWidth, i.naturalHeight]),
  );
  assert.deepEqual([images, pageErrors], [kImages, []]);
  const texts = await page.evaluate(() => {
    const [link, label] = [document.getElementById('brand-link'), document.querySelector('.version-label')];
    const [input, highlight] = ['script', 'highlight'].map((id) => document.getElementById(id));
    const own = [
      document.title,
      document.documentElement.lang,
      label.textContent,
      input.spellcheck,
      highlight.ariaHidden,
    ];
    return [...own, link.href, link.target, link.rel, link.ariaLabel];
  });
  // prettier-ignore
  assert.deepEqual(texts, ['Kelo', 'en', 'v0.1.7', false, 'true', 'https://velmora.example/', '_blank', 'noopener noreferrer',
    'Velmora — open website in browser']);
});
