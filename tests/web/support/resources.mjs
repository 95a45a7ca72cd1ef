// Serves the embedded files the way the plug-in's resource server does: request path to
// resource name, name looked up in web/resources.list, content type by extension, no caching.
// The module's own server is tested in the web view host's tests; this only stands in for it.
import { existsSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';

export const kRepoRoot = fileURLToPath(new URL('../../../', import.meta.url));
export const kOrigin = 'https://kelo.invalid';
export const kStartPage = kOrigin + '/index.html';
const kTypes = { HTML: 'text/html', JS: 'application/javascript', CSS: 'text/css', TXT: 'text/plain' };

// The list: `<NAME> <path>` per line, "#" starts a comment, blank lines ignored.
export function loadResourceList() {
  const lines = readFileSync(join(kRepoRoot, 'web/resources.list'), 'utf8').split(/\r?\n/);
  const entries = lines.map((l) => l.replace(/#.*/, '').trim()).filter((l) => l !== '');
  return new Map(entries.map((l) => l.split(/\s+/)));
}

// Installs the server on a playwright context; `log` collects the requests and `overrides`
// maps resource names to the text served instead of the file's.
export async function serveResources(target, log = [], overrides = {}) {
  const list = loadResourceList();
  await target.route(kOrigin + '/**', async (route) => {
    const address = route.request().url();
    const path = (address.slice(kOrigin.length + 1).split(/[?#]/)[0] || 'index.html').toUpperCase();
    const name = /[/\\]/.test(path) ? null : 'KELO_' + path.replace(/[^0-9A-Z_]/g, '_');
    const extension = path.split('.').pop();
    const contentType = kTypes[extension] ? kTypes[extension] + '; charset=utf-8' : 'image/' + extension.toLowerCase();
    let body = null;
    if (name in overrides) body = Buffer.from(overrides[name]);
    else if (list.has(name) && existsSync(join(kRepoRoot, list.get(name))))
      body = readFileSync(join(kRepoRoot, list.get(name)));
    const status = body?.length > 0 ? 200 : 404;
    log.push({ address, name, status, contentType });
    const headers = { 'Content-Type': contentType, 'Cache-Control': 'no-store' };
    return route.fulfill({ status, headers, body: status === 200 ? body : '' });
  });
}
