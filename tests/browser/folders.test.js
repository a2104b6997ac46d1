// Folders open and close: every block starts hidden, a click on a folder shows its block and
// switches its picture and a second click undoes both; nested folders keep their own state;
// "Expand all" and "Collapse all".
import assert from 'node:assert/strict';
import path from 'node:path';
import { after, before, test } from 'node:test';
import {
  clickButton, expectTree, folderAnchor, folderStates, handMade, openFolders, openPage, sample,
  startBrowser, visibleTitles, waitForEqual, waitForFolder,
} from './support.js';

let browser;
before(async () => { browser = await startBrowser(); });
after(async () => { await browser?.close(); });

// How many folders each export has ("<H3 FOLDED" headings). Chrome writes no FOLDED, so its
// page has links only.
const exports = [
  { file: handMade('nested.html'), folders: 7 },
  { file: sample('safari-1.html'), folders: 5 },
  { file: sample('netscape-1.html'), folders: 4 },
  { file: sample('icab-1.html'), folders: 29 },
  { file: sample('ie-1.html'), folders: 9 },
  { file: sample('chrome-2.html'), folders: 0 },
];

/** Counts the tree's anchors: all of them, those on screen, and those outside every block. */
const countAnchors = (page) => page.evaluate(() => {
  const anchors = [...document.querySelectorAll('a[href]')];
  return {
    all: anchors.length,
    visible: anchors.filter((a) => a.checkVisibility()).length,
    top: anchors.filter((a) => !a.closest('div[id^="display"]')).length,
  };
});

for (const { file, folders } of exports) {
  test(`${path.basename(file)}: folders start closed, and each click opens or closes one`,
    async () => {
      const view = await openPage(browser, file);
      const { page } = view;
      const states = await folderStates(page);
      assert.equal(states.length, folders, 'number of folders');
      assert.deepEqual(await openFolders(page), expectTree([]), 'every block starts hidden');
      const start = await countAnchors(page);
      assert.ok(start.top > 0);
      assert.equal(start.visible, start.top, 'only the entries outside every folder are shown');

      // Folders are numbered in page order, so each one's parent is already open.
      for (const { n } of states) {
        for (const open of [true, false, true]) {
          await folderAnchor(page, n).click();
          await waitForFolder(page, n, open);
        }
      }
      const end = await countAnchors(page);
      assert.equal(end.visible, end.all, 'with every folder open, every entry is shown');
      await view.assertClean();
    });
}

test('nested folders keep their own state when the folders around them close', async () => {
  const view = await openPage(browser, handMade('nested.html'));
  const { page } = view;
  // Projects 1 > Garden 2 > Tools 3 > Deep shed 4; Projects 1 > Kitchen 5; Travel 6; Empty 7.
  const steps = [
    { click: 1, tree: expectTree([1]) },
    { click: 2, tree: expectTree([1, 2]) },
    { click: 3, tree: expectTree([1, 2, 3]) },
    { click: 6, tree: expectTree([1, 2, 3, 6]) },
    { click: 2, tree: expectTree([1, 3, 6], [1, 6]) },
    { click: 5, tree: expectTree([1, 3, 5, 6], [1, 5, 6]) },
    { click: 1, tree: expectTree([3, 5, 6], [6]) },
    { click: 1, tree: expectTree([1, 3, 5, 6], [1, 5, 6]) },
    { click: 2, tree: expectTree([1, 2, 3, 5, 6]) },
    { click: 7, tree: expectTree([1, 2, 3, 5, 6, 7]) },
  ];
  for (const [i, step] of steps.entries()) {
    await folderAnchor(page, step.click).click();
    await waitForEqual(page, `step ${i + 1}: click folder ${step.click}`, openFolders, step.tree);
  }
  assert.deepEqual(await visibleTitles(page), [
    'Morning news', 'Projects', 'Issue board', 'Garden', 'Seed catalogue', 'Tools', 'Deep shed',
    'Rake reviews', 'Kitchen', 'Sourdough starter', 'Travel', 'Night trains', 'Empty drawer',
  ]);
  await view.assertClean();
});

for (const { file, folders } of exports.filter((e) => e.folders > 3)) {
  test(`${path.basename(file)}: expand all and collapse all set every folder and picture`,
    async () => {
      const view = await openPage(browser, file);
      const { page } = view;
      const all = Array.from({ length: folders }, (_, i) => i + 1);
      // Start from a mixed state: the first folder open.
      await folderAnchor(page, 1).click();
      await waitForFolder(page, 1, true);

      await clickButton(page, 'Expand all');
      await waitForEqual(page, 'every folder open', openFolders, expectTree(all));
      const expanded = await countAnchors(page);
      assert.equal(expanded.visible, expanded.all);

      await clickButton(page, 'Collapse all');
      await waitForEqual(page, 'every folder closed', openFolders, expectTree([]));
      const collapsed = await countAnchors(page);
      assert.equal(collapsed.visible, collapsed.top);

      // The folder links still toggle from there.
      await folderAnchor(page, 1).click();
      await waitForFolder(page, 1, true);
      await view.assertClean();
    });
}

test('Display and ImageChange ignore unknown ids and return nothing', async () => {
  const view = await openPage(browser, handMade('nested.html'));
  const { page } = view;
  const results = await page.evaluate(() => [
    Display('display99'), ImageChange('img99'), Display(''), ImageChange(''),
    Display('display1'), ImageChange('img1'),
  ]);
  assert.deepEqual(results, Array(6).fill(undefined));
  assert.deepEqual(await openFolders(page), expectTree([1]));
  await view.assertClean();
});
