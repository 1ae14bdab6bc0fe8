#!/usr/bin/env node
// Builds the add-on for each browser: the shared files copied as they are, and a manifest made
// of the shared one plus that browser's own keys (background, side panel or sidebar, ids).
// Usage: build-extension.mjs SOURCE_DIR OUT_DIR
import { cpSync, mkdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import path from 'node:path';

const [source, out] = process.argv.slice(2);
if (!source || !out) {
  console.error('usage: build-extension.mjs SOURCE_DIR OUT_DIR');
  process.exit(1);
}

const shared = JSON.parse(readFileSync(path.join(source, 'manifest.json'), 'utf8'));
const browsers = JSON.parse(readFileSync(path.join(source, 'browsers.json'), 'utf8'));
const buildOnly = new Set(['manifest.json', 'browsers.json']);

for (const [browser, own] of Object.entries(browsers)) {
  const dir = path.join(out, browser);
  rmSync(dir, { recursive: true, force: true });
  mkdirSync(dir, { recursive: true });
  cpSync(source, dir, {
    recursive: true,
    filter: (file) => !buildOnly.has(path.relative(source, file)),
  });
  const manifest = { ...shared };
  for (const [key, value] of Object.entries(own)) {
    manifest[key] = key === 'permissions' ? [...shared.permissions, ...value] : value;
  }
  writeFileSync(path.join(dir, 'manifest.json'), `${JSON.stringify(manifest, null, 2)}\n`);
}
