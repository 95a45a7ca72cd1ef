// Runs the native side's page scripts in a fresh JavaScript context that
// stands in for one browser document, and prints what the page saw.
//
//   KELO_PAGE_RUN='{"init": [scripts], "probe": [names], "calls": [{"name", "args"}],
//                   "settle": [scripts], "random": number}' node run-scripts.mjs
//
// Init scripts run in order, then the calls (args is the source text of an
// array expression), then the settling scripts; Math.random answers `random`
// (0 unless given). Printed: {"functions": {name: typeof window[name]},
// "posted": [messages], "outcomes": [{"state", "value"}], "settleErrors":
// [texts], "pending": [keys of window._rpc other than nextSeq]}.
import vm from 'node:vm';

const { init, probe, calls, settle = [], random = 0 } = JSON.parse(process.env.KELO_PAGE_RUN);
const posted = [];
const context = vm.createContext({ hostPost: (message) => posted.push(message) });
vm.runInContext(
  `var window = globalThis; Math.random = () => ${random};` +
    'window.chrome = {webview: {postMessage: function(message) { hostPost(message); }}};',
  context,
);
for (const script of init) vm.runInContext(script, context);

const functions = {};
for (const name of probe) functions[name] = vm.runInContext(`typeof window[${JSON.stringify(name)}]`, context);

const outcomes = calls.map(({ name, args }) => {
  const outcome = { state: 'pending' };
  vm.runInContext(`window[${JSON.stringify(name)}].apply(window, ${args})`, context).then(
    (value) => Object.assign(outcome, { state: 'resolved', value }),
    (value) => Object.assign(outcome, { state: 'rejected', value }),
  );
  return outcome;
});

const settleErrors = [];
for (const script of settle) {
  try {
    vm.runInContext(script, context);
  } catch (error) {
    settleErrors.push(String(error));
  }
}

// Let every settled Promise run its handlers before looking.
await new Promise((resolve) => setImmediate(resolve));
const table = vm.runInContext('window._rpc', context) ?? {};
const pending = Object.keys(table).filter((key) => key !== 'nextSeq');
process.stdout.write(JSON.stringify({ functions, posted, outcomes, settleErrors, pending }));
