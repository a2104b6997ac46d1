// Shared pieces of the browser tests: pages made from exports by the real library, and a
// headless Chromium that opens them from file:// and records anything that goes wrong there
// (console errors, script errors, requests that leave the page's folder, a replaced page).
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { randomUUID } from 'node:crypto';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { isDeepStrictEqual } from 'node:util';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const repo = path.resolve(here, '..', '..');

// CTest passes these; the defaults fit a build in build/ of this checkout.
export const settings = {
  library: process.env.QUILLMAP_LIBRARY || path.join(repo, 'build', 'bin', 'libquillcore.so'),
  dataDir: process.env.QUILLMAP_DATA_DIR || path.join(repo, 'data'),
  samplesDir: process.env.QUILLMAP_SAMPLES_DIR || path.join(repo, 'tests', 'data', 'samples'),
  python: process.env.QUILLMAP_PYTHON || 'python3',
  chromium: process.env.QUILLMAP_CHROMIUM || '/usr/bin/chromium',
};

// How long a condition in the page may take to come true.
export const WAIT_MS = 5000;

/** A real export from tests/data/samples. */
export const sample = (name) => path.join(settings.samplesDir, name);
/** A hand-made export from tests/browser/fixtures. */
export const handMade = (name) => path.join(here, 'fixtures', name);

const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'quillmap-browser-'));
process.on('exit', () => fs.rmSync(scratch, { recursive: true, force: true }));

const converted = new Map();

/**
 * Converts an export with the library and the real template into a folder of its own, with
 * the two folder pictures beside the page, as the program lays them out.
 * Returns { dir, file, url }.
 */
export function makePage(exportPath) {
  if (converted.has(exportPath)) return converted.get(exportPath);
  const dir = fs.mkdtempSync(path.join(scratch, path.basename(exportPath, '.html') + '-'));
  for (const picture of ['folder1.gif', 'folder2.gif']) {
    fs.copyFileSync(path.join(settings.dataDir, picture), path.join(dir, picture));
  }
  const file = path.join(dir, 'Quillmap.htm');
  execFileSync(settings.python, [path.join(here, 'convert.py'), settings.library, exportPath, file,
    path.join(settings.dataDir, 'source_normal.htm')], { stdio: ['ignore', 'inherit', 'inherit'] });
  const page = { dir, file, url: pathToFileURL(file).href };
  converted.set(exportPath, page);
  return page;
}

/** Headless Chromium with a fresh profile. Everything but file: and data: URLs is refused. */
export async function startBrowser() {
  const profile = fs.mkdtempSync(path.join(scratch, 'profile-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: settings.chromium,
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    viewport: { width: 1000, height: 800 },
  });
  await context.route((url) => !/^(file|data):$/.test(url.protocol), (route) => route.abort());
  return context;
}

/**
 * Opens the page made from an export. Options: viewport, colorScheme ('light' or 'dark').
 * The returned view records what would be a fault; call view.assertClean() at the end.
 */
export async function openPage(context, exportPath, options = {}) {
  const made = makePage(exportPath);
  const page = await context.newPage();
  if (options.viewport) await page.setViewportSize(options.viewport);
  await page.emulateMedia({ colorScheme: options.colorScheme || 'light', media: 'screen' });
  const view = { page, made, consoleErrors: [], pageErrors: [], requests: [] };
  page.on('console', (message) => {
    if (message.type() === 'error') view.consoleErrors.push(message.text());
  });
  page.on('pageerror', (error) => view.pageErrors.push(error.message));
  page.on('request', (request) => view.requests.push(request.url()));
  await page.goto(made.url, { waitUntil: 'load' });
  // A token in the page's own window: if a link replaced the document, the token is gone.
  view.token = randomUUID();
  await page.evaluate((token) => { window.quillmapTestToken = token; }, view.token);
  view.assertClean = () => assertClean(view);
  return view;
}

async function assertClean(view) {
  const { page, made } = view;
  assert.deepEqual(view.consoleErrors, [], 'console errors');
  assert.deepEqual(view.pageErrors, [], 'script errors');
  const allowed = new Set([made.url, ...['folder1.gif', 'folder2.gif'].map(
    (name) => pathToFileURL(path.join(made.dir, name)).href)]);
  const strays = view.requests.filter((url) => !allowed.has(url) && !url.startsWith('data:'));
  assert.deepEqual(strays, [], 'requests other than the page and its pictures');
  assert.equal(page.url(), made.url, 'the page navigated away');
  const token = await page.evaluate(() => window.quillmapTestToken);
  assert.equal(token, view.token, 'the document was replaced');
  await page.close();
}

/**
 * Reads the page with read(page) until done(result) holds, once a frame; fails with `what`
 * and the last result after WAIT_MS. Returns the last result.
 */
export async function waitFor(page, what, read, done) {
  const deadline = Date.now() + WAIT_MS;
  for (;;) {
    const result = await read(page);
    if (done(result)) return result;
    if (Date.now() > deadline) {
      throw new Error(`waited ${WAIT_MS} ms for ${what}; last seen: ${JSON.stringify(result)}`);
    }
    await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(resolve)));
  }
}

/** Waits until read(page) deep-equals expected. */
export function waitForEqual(page, what, read, expected) {
  return waitFor(page, what, read, (result) => isDeepStrictEqual(result, expected));
}

/**
 * The folders in page order: { n, title, shown, visible, picture } where shown is the block's
 * own display setting, visible whether it is on screen (its folders above it open too), and
 * picture the image's src attribute.
 */
export function folderStates(page) {
  return page.evaluate(() => {
    const folderLink = /Display\('([^']*)'\);\s*ImageChange\('([^']*)'\)/;
    const states = [];
    for (const a of document.querySelectorAll('a[href]')) {
      const m = folderLink.exec(a.getAttribute('href'));
      if (!m) continue;
      const block = document.getElementById(m[1]);
      const img = document.getElementById(m[2]);
      states.push({
        n: Number(m[1].replace('display', '')),
        title: a.textContent.trim(),
        shown: block.style.display !== 'none',
        visible: block.checkVisibility(),
        picture: img.getAttribute('src'),
      });
    }
    return states;
  });
}

/** The titles of the tree's entries (folders and links) that are on screen, in page order. */
export function visibleTitles(page) {
  return page.evaluate(() => [...document.querySelectorAll('a[href]')]
    .filter((a) => a.checkVisibility())
    .map((a) => a.innerText.trim()));
}

/** The anchor of folder n (its picture's parent), as a Playwright locator. */
export const folderAnchor = (page, n) => page.locator(`a:has(> img#img${n})`);

/**
 * The numbers of the folders whose blocks are shown, of those on screen, and of those showing
 * the open picture (which must always be the shown ones: see expectTree).
 */
export async function openFolders(page) {
  const states = await folderStates(page);
  const numbers = (keep) => states.filter(keep).map((s) => s.n);
  return {
    shown: numbers((s) => s.shown),
    visible: numbers((s) => s.visible),
    openPicture: numbers((s) => s.picture === 'folder2.gif'),
  };
}

/** What openFolders() reads when the given folders are shown and the given ones visible. */
export const expectTree = (shown, visible = shown) => ({ shown, visible, openPicture: shown });

/** Waits until folder n's block is shown or hidden, with the matching picture. */
export function waitForFolder(page, n, open) {
  const read = async () => (await folderStates(page)).find((s) => s.n === n);
  return waitFor(page, `folder ${n} ${open ? 'open' : 'closed'}`, read, (s) =>
    s.shown === open && s.visible === open && s.picture === (open ? 'folder2.gif' : 'folder1.gif'));
}

/** Clicks a toolbar button by its text. */
export const clickButton = (page, text) => page.getByRole('button', { name: text, exact: true }).click();
