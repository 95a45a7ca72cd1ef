// Runs the native side's page scripts in a fresh JavaScript context that
// stands in for one browser document, and writes what the page saw.
//
//   node run-scripts.mjs <folder>
//
// <folder>/init.json    array of document-creation scripts, run in order
// <folder>/calls.json   {"probe": [names], "calls": [{"name", "args"}],
//                       "random": what Math.random answers, 0 unless given};
//                       args is the source text of a script array expression
// <folder>/settle.json  optional array of settling scripts, run in order
//                       after all calls were made
// <folder>/result.json  written: {"functions": {name: typeof window[name]},
//                       "posted": [messages], "outcomes": [{"state",
//                       "value"}], "settleErrors": [texts], "pending": [keys
//                       of window._rpc other than nextSeq]}
//
// The exit code is 0 whenever the folder could be read and the result
// written; what the result means is for the caller to judge.
import fs from 'node:fs';
import path from 'node:path';
import vm from 'node:vm';

const folder = process.argv[2];
if (!folder) {
  console.error('usage: node run-scripts.mjs <folder>');
  process.exit(2);
}

const readJson = (name) => JSON.parse(fs.readFileSync(path.join(folder, name), 'utf8'));
const initScripts = readJson('init.json');
const { probe, calls, random = 0 } = readJson('calls.json');
const settleFile = path.join(folder, 'settle.json');
const settleScripts = fs.existsSync(settleFile) ? readJson('settle.json') : [];

const posted = [];
const context = vm.createContext({ hostPost: (message) => posted.push(message) });
vm.runInContext(
  `var window = globalThis; Math.random = () => ${random};` +
    'window.chrome = {webview: {postMessage: function(message) { hostPost(message); }}};',
  context,
);

for (const script of initScripts) vm.runInContext(script, context);

const functions = {};
for (const name of probe) functions[name] = vm.runInContext(`typeof window[${JSON.stringify(name)}]`, context);

const outcomes = calls.map(() => ({ state: 'pending' }));
calls.forEach(({ name, args }, index) => {
  try {
    const promise = vm.runInContext(`window[${JSON.stringify(name)}].apply(window, ${args})`, context);
    promise.then(
      (value) => {
        outcomes[index] = { state: 'resolved', value };
      },
      (value) => {
        outcomes[index] = { state: 'rejected', value };
      },
    );
  } catch (error) {
    outcomes[index] = { state: 'threw', value: String(error) };
  }
});

const settleErrors = [];
for (const script of settleScripts) {
  try {
    vm.runInContext(script, context);
  } catch (error) {
    settleErrors.push(String(error));
  }
}

// Let every settled Promise run its handlers before looking.
await new Promise((resolve) => setImmediate(resolve));

const table = vm.runInContext('window._rpc', context);
const pending = table ? Object.keys(table).filter((key) => key !== 'nextSeq') : [];

fs.writeFileSync(
  path.join(folder, 'result.json'),
  JSON.stringify({ functions, posted, outcomes, settleErrors, pending }),
);
