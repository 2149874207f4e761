// Headless Chromium for the client checks: its own throw-away profile, and every request that
// does not go to the loopback server blocked (the origins tried are collected in `blocked`).
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from 'playwright-core';

export async function launchChromium(options = {}) {
  const profile = mkdtempSync(join(tmpdir(), 'orvane-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: [
      '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
    ],
    ...options,
  });
  const blocked = new Set();
  await context.route('**/*', (route) => {
    const url = new URL(route.request().url());
    if (url.hostname === '127.0.0.1') return route.continue();
    blocked.add(url.origin);
    return route.abort();
  });
  const close = async () => {
    await context.close();
    rmSync(profile, { recursive: true, force: true });
  };
  return { context, blocked, close };
}
