// The keyboard alone: Tab reaches every folder (opening each one as it comes, so the folders
// inside it come next), Enter opens it, and the focused folder shows a focus ring.
import assert from 'node:assert/strict';
import path from 'node:path';
import { after, before, test } from 'node:test';
import {
  expectTree, folderStates, handMade, openFolders, openPage, sample, startBrowser, waitForEqual,
  waitForFolder,
} from './support.js';

let browser;
before(async () => { browser = await startBrowser(); });
after(async () => { await browser?.close(); });

/** The folder number of the focused element when it is a folder's anchor, and its look. */
const focusedFolder = (page) => page.evaluate(() => {
  const a = document.activeElement;
  const img = a && a.tagName === 'A' && a.querySelector(':scope > img[id^="img"]');
  if (!img) return null;
  const style = getComputedStyle(a);
  return {
    n: Number(img.id.slice(3)),
    focusVisible: a.matches(':focus-visible'),
    ring: style.outlineStyle !== 'none' && parseFloat(style.outlineWidth) >= 1,
  };
});

const exports = [handMade('nested.html'), sample('safari-1.html'), sample('netscape-1.html'),
  sample('ie-1.html')];

for (const file of exports) {
  test(`${path.basename(file)}: Tab and Enter open every folder`, async () => {
    const view = await openPage(browser, file);
    const { page } = view;
    const folders = (await folderStates(page)).map((s) => s.n);
    assert.ok(folders.length > 0);
    const anchors = await page.locator('a[href]').count();

    const opened = [];
    // Every anchor once, plus the toolbar's controls.
    for (let presses = 0; opened.length < folders.length && presses < anchors + 10; presses++) {
      await page.keyboard.press('Tab');
      const focused = await focusedFolder(page);
      if (!focused || opened.includes(focused.n)) continue;
      assert.ok(focused.focusVisible && focused.ring, `folder ${focused.n} shows where the focus is`);
      await page.keyboard.press('Enter');
      await waitForFolder(page, focused.n, true);
      opened.push(focused.n);
    }
    assert.deepEqual(opened, folders, 'folders opened from the keyboard, in page order');
    await waitForEqual(page, 'every folder open', openFolders, expectTree(folders));
    await view.assertClean();
  });
}

test('Enter on an open folder closes it again', async () => {
  const view = await openPage(browser, handMade('nested.html'));
  const { page } = view;
  // The toolbar comes first: filter, Expand all, Collapse all; then Morning news, Projects.
  const order = [];
  for (let i = 0; i < 5; i++) {
    await page.keyboard.press('Tab');
    order.push(await page.evaluate(() => {
      const el = document.activeElement;
      return el.id || el.textContent.trim();
    }));
  }
  assert.deepEqual(order, ['qm-filter', 'qm-expand', 'qm-collapse', 'Morning news', 'Projects']);
  await page.keyboard.press('Enter');
  await waitForFolder(page, 1, true);
  await page.keyboard.press('Enter');
  await waitForFolder(page, 1, false);
  await view.assertClean();
});
