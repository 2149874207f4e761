// Opens orvane's SVG pictures in headless Chromium: each is an SVG image with its title, the
// browser's find (Ctrl+F) finds every name of the diagram as text, and Chromium draws the same
// picture as orvane's PNG. Pages come from a loopback server started here.
//
//   node check-svg.mjs SAMPLE_DIR
import { createServer } from 'node:http';
import { readFileSync } from 'node:fs';
import { join, basename, extname } from 'node:path';
import { launchChromium } from './loopback-chromium.mjs';

const sampleDir = process.argv[2];
const manifest = JSON.parse(readFileSync(join(sampleDir, 'manifest.json'), 'utf8'));
const pictures = manifest.filter((e) => e.names);
const failures = [];
const fail = (name, message) => failures.push(`${name}: ${message}`);

// Share of pixels that may differ from everything within two pixels in the other picture:
// Chromium sets glyphs a pixel or two apart from pango along a line, nothing more.
const MAX_UNMATCHED = 0.0007;

const MIME = { '.svg': 'image/svg+xml', '.png': 'image/png', '.html': 'text/html; charset=utf-8' };
const server = createServer((request, response) => {
  const path = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
  const type = MIME[extname(path)];
  if (path === '/compare.html') {
    response.writeHead(200, { 'content-type': type });
    response.end('<!DOCTYPE html><html><body></body></html>');
    return;
  }
  try {
    const body = readFileSync(join(sampleDir, basename(path)));
    response.writeHead(200, { 'content-type': type || 'application/octet-stream' });
    response.end(body);
  } catch {
    response.writeHead(404);
    response.end();
  }
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const base = `http://127.0.0.1:${server.address().port}`;

const { context, close } = await launchChromium();

// The picture itself: an SVG document with a title for screen readers, every name findable.
async function checkText(page, entry) {
  await page.goto(`${base}/${entry.name}.svg`);
  const report = await page.evaluate((names) => {
    const root = document.documentElement;
    const problems = [];
    if (root.localName !== 'svg' || document.querySelector('parsererror')) {
      return { problems: ['does not parse as SVG'], missing: [] };
    }
    if (root.getAttribute('role') !== 'img') problems.push('the picture has no role="img"');
    const title = root.querySelector(':scope > title');
    if (!title || !title.textContent) problems.push('the picture has no title');
    const missing = [];
    for (const name of names) {
      const wanted = name.replace(/\s+/g, ' ').trim();
      window.getSelection().removeAllRanges();
      if (!window.find(wanted, true, false, true)) missing.push(name);
    }
    return { problems, missing };
  }, entry.names);
  for (const problem of report.problems) fail(entry.name, problem);
  for (const name of report.missing) {
    fail(entry.name, `find does not find ${JSON.stringify(name)} in the SVG`);
  }
}

// The look: the SVG as Chromium draws it against orvane's PNG of the same diagram.
async function checkLook(page, entry) {
  const share = await page.evaluate(async (name) => {
    const pixels = async (src) => {
      const image = new Image();
      image.src = src;
      await image.decode();
      const canvas = document.createElement('canvas');
      canvas.width = image.naturalWidth;
      canvas.height = image.naturalHeight;
      const context = canvas.getContext('2d');
      context.fillStyle = '#ffffff';
      context.fillRect(0, 0, canvas.width, canvas.height);
      context.drawImage(image, 0, 0);
      return context.getImageData(0, 0, canvas.width, canvas.height);
    };
    const want = await pixels(`/${name}.png`);
    const got = await pixels(`/${name}.svg`);
    if (want.width !== got.width || want.height !== got.height) return -1;
    const { width, height } = want;
    let unmatched = 0;
    for (const [one, other] of [[want.data, got.data], [got.data, want.data]]) {
      for (let y = 0; y < height; ++y) {
        for (let x = 0; x < width; ++x) {
          const i = (y * width + x) * 4;
          let matched = false;
          for (let dy = -2; dy <= 2 && !matched; ++dy) {
            for (let dx = -2; dx <= 2 && !matched; ++dx) {
              const ox = x + dx;
              const oy = y + dy;
              if (ox < 0 || oy < 0 || ox >= width || oy >= height) continue;
              const j = (oy * width + ox) * 4;
              matched = Math.max(Math.abs(one[i] - other[j]), Math.abs(one[i + 1] - other[j + 1]),
                Math.abs(one[i + 2] - other[j + 2])) <= 64;
            }
          }
          if (!matched) ++unmatched;
        }
      }
    }
    return unmatched / (2 * width * height);
  }, entry.name);
  if (share < 0) {
    fail(entry.name, 'Chromium draws the SVG at another size than the PNG');
  } else if (share > MAX_UNMATCHED) {
    fail(entry.name, `Chromium's drawing differs from the PNG in ${(share * 100).toFixed(3)} % ` +
      'of the pixels');
  }
}

try {
  const page = await context.newPage();
  page.on('pageerror', (error) => fail('page', error.message));
  for (const entry of pictures) await checkText(page, entry);
  await page.goto(`${base}/compare.html`);
  for (const entry of pictures) await checkLook(page, entry);
} finally {
  await close();
  server.close();
}

if (pictures.length === 0) fail('manifest', 'no pictures to check');
if (failures.length) {
  console.error(failures.join('\n'));
  console.error(`${failures.length} problem(s)`);
  process.exit(1);
}
console.log(`Chromium shows ${pictures.length} SVG pictures as drawn, every name findable`);
