// Serves the embedded files the way the plug-in's resource server does: request path to
// resource name, name looked up in web/resources.list, content type by extension, no caching.
import { existsSync, readFileSync } from 'node:fs';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';

export const kRepoRoot = fileURLToPath(new URL('../../../', import.meta.url));
export const kOrigin = 'https://kelo.invalid';
export const kStartPage = kOrigin + '/index.html';

const kContentTypes = [
  ['.HTML', 'text/html; charset=utf-8'],
  ['.JS', 'application/javascript; charset=utf-8'],
  ['.CSS', 'text/css; charset=utf-8'],
  ['.PNG', 'image/png'],
  ['.SVG', 'image/svg+xml'],
  ['.TXT', 'text/plain; charset=utf-8'],
];
const kFallbackType = 'application/octet-stream';

// Parses the list: `<NAME> <path>` per line, "#" starts a comment, blank lines ignored.
function parseResourceList(text) {
  const entries = new Map();
  for (const rawLine of text.split(/\r?\n/)) {
    const line = rawLine.replace(/#.*/, '').trim();
    if (line === '') continue;
    const [name, path] = line.split(/\s+/);
    entries.set(name, path);
  }
  return entries;
}

export function loadResourceList() {
  return parseResourceList(readFileSync(join(kRepoRoot, 'web/resources.list'), 'utf8'));
}

function contentTypeFor(upperPath) {
  for (const [ending, type] of kContentTypes) {
    if (upperPath.endsWith(ending)) return type;
  }
  return kFallbackType;
}

// Returns { status, contentType, name } for a full request address, or null when the
// address is not under the private origin (left to the network).
function resolveRequest(address) {
  const prefix = kOrigin + '/';
  if (!address.startsWith(prefix)) return null;
  let path = address.slice(prefix.length);
  const cut = path.search(/[?#]/);
  if (cut !== -1) path = path.slice(0, cut);
  if (path === '') path = 'index.html';
  const upper = path.toUpperCase();
  const name = 'KELO_' + upper.replace(/[^0-9A-Z_]/g, '_');
  const contentType = contentTypeFor(upper);
  const directory = upper.includes('/') || upper.includes('\\');
  return { name: directory ? null : name, contentType };
}

// Installs the server on a playwright page or context; `log` collects the requests and
// `overrides` maps resource names to the text served instead of the file's.
export async function serveResources(target, log = [], overrides = {}) {
  const list = loadResourceList();
  await target.route(kOrigin + '/**', async (route) => {
    const address = route.request().url();
    const resolved = resolveRequest(address);
    if (!resolved) return route.abort();
    let body = null;
    if (resolved.name in overrides) {
      body = Buffer.from(overrides[resolved.name]);
    } else if (resolved.name && list.has(resolved.name)) {
      const file = join(kRepoRoot, list.get(resolved.name));
      // A listed file that is missing would fail the module's build; here it is simply absent.
      if (existsSync(file)) body = readFileSync(file);
    }
    const found = body !== null && body.length > 0;
    log.push({ address, name: resolved.name, status: found ? 200 : 404, contentType: resolved.contentType });
    return route.fulfill({
      status: found ? 200 : 404,
      headers: { 'Content-Type': resolved.contentType, 'Cache-Control': 'no-store' },
      body: found ? body : '',
    });
  });
}
