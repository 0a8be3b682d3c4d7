// SPDX-License-Identifier: MIT
// node open_page.js CHROMIUM PROFILE URL SECONDS: opens URL in headless
// Chromium, driven over its DevTools pipe, waits until the page's status
// line no longer says "running" or SECONDS have passed, and prints the DOM.
// The wait is in real time: with --dump-dom and a virtual time budget the
// budget runs out while the module compiles in the background, which a
// loaded machine showed as a page that had not started.
'use strict';
const { spawn } = require('child_process');
const [chromium, profile, url, seconds] = process.argv.slice(2);
const browser = spawn(chromium, ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync', `--user-data-dir=${profile}`,
  '--remote-debugging-pipe'], { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'] });
let log = '';
browser.stdio[2].on('data', (text) => { log += text; });
browser.on('error', (error) => {
  process.stderr.write(`cannot run ${chromium}: ${error.message}\n`);
  process.exit(1);
});

// Messages are JSON, each ended by a NUL, on the child's descriptors 3 (in) and 4 (out).
let next = 1, pending = '';
const waiting = new Map();
browser.stdio[4].setEncoding('utf8');
browser.stdio[4].on('data', (chunk) => {
  pending += chunk;
  for (let end; (end = pending.indexOf('\0')) >= 0; pending = pending.slice(end + 1)) {
    const reply = JSON.parse(pending.slice(0, end));
    const caller = waiting.get(reply.id);
    waiting.delete(reply.id);
    if (caller) {
      reply.error ? caller.reject(new Error(reply.error.message)) : caller.resolve(reply.result);
    }
  }
});
function send(method, params, sessionId) {
  const id = next++;
  browser.stdio[3].write(JSON.stringify({ id, method, params: params || {}, sessionId }) + '\0');
  return new Promise((resolve, reject) => waiting.set(id, { resolve, reject }));
}

async function run() {
  const { targetId } = await send('Target.createTarget', { url: 'about:blank' });
  const { sessionId } = await send('Target.attachToTarget', { targetId, flatten: true });
  const evaluate = async (expression) =>
    (await send('Runtime.evaluate', { expression, returnByValue: true }, sessionId)).result.value;
  await send('Page.navigate', { url }, sessionId);
  for (const deadline = Date.now() + 1000 * seconds; Date.now() < deadline;) {
    const state = await evaluate("(document.getElementById('status') || {}).textContent").catch(() => '');
    if (state && state !== 'running') {
      break;
    }
    await new Promise((wake) => setTimeout(wake, 200));
  }
  process.stdout.write(await evaluate('document.documentElement.outerHTML'));
}

// A browser that stops answering is ended after the wait, with a margin.
const guard = setTimeout(() => browser.kill(), 1000 * (Number(seconds) + 60));
browser.on('exit', () => clearTimeout(guard));
run()
  .catch((error) => {
    process.stderr.write(`${error.message}\n${log}`);
    process.exitCode = 1;
  })
  .finally(() => send('Browser.close').catch(() => {}));
