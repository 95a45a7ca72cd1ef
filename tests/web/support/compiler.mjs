// The page's constants, records and cue compiler evaluated in Node, without a browser.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import vm from 'node:vm';

const source = readFileSync(new URL('../../../web/app.js', import.meta.url), 'utf8');
const wanted = source.split(/^\/\/ -{20,}\n/m).filter((s) => /^\/\/ (Constants|Page records|Cue compiler)/.test(s));
assert.equal(wanted.length, 3, 'the page script keeps its constants, records and compiler sections');
export const compiler = vm.createContext({});
vm.runInContext(wanted.join('\n') + '\nthis.compileCues = compileCues; this.transport = transport;', compiler);
