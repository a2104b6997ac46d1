// The filter box: it shows the entries whose title or address contains the text (any case),
// with the folders that lead to them opened, hides the rest, and clearing it brings the tree
// back exactly as it was.
import assert from 'node:assert/strict';
import path from 'node:path';
import { after, before, test } from 'node:test';
import {
  clickButton, expectTree, folderAnchor, handMade, openFolders, openPage, sample, startBrowser,
  visibleTitles, waitForEqual, waitForFolder,
} from './support.js';

let browser;
before(async () => { browser = await startBrowser(); });
after(async () => { await browser?.close(); });

const status = (page) => page.locator('#qm-status').textContent();

// open: the folders the filter opens. A folder whose own title matches is shown closed.
const searches = [
  { file: handMade('nested.html'), query: 'LANTERN', status: '1 match', open: [1, 2, 3, 4],
    titles: ['Projects', 'Garden', 'Tools', 'Deep shed', 'Brass Lantern manual'] },
  { file: handMade('nested.html'), query: 'bread.example/', status: '1 match', open: [1, 5],
    titles: ['Projects', 'Kitchen', 'Sourdough starter'] },
  { file: handMade('nested.html'), query: 'Garden', status: '1 match', open: [1],
    titles: ['Projects', 'Garden'] },
  { file: handMade('nested.html'), query: '.example/', status: '7 matches', open: [1, 2, 3, 4, 5, 6],
    titles: ['Morning news', 'Projects', 'Issue board', 'Garden', 'Seed catalogue', 'Tools',
      'Deep shed', 'Brass Lantern manual', 'Rake reviews', 'Kitchen', 'Sourdough starter',
      'Travel', 'Night trains'] },
  { file: handMade('nested.html'), query: 'no such bookmark', status: 'Nothing matches.', open: [],
    titles: [] },
  { file: handMade('text.html'), query: 'CAFÉ', status: '2 matches', open: [],
    titles: ['Café & crème', '"Quoted" – café'] },
  { file: handMade('text.html'), query: '日本', status: '1 match', open: [1],
    titles: ['Café & crème', '日本語のページ'] },
  { file: sample('safari-1.html'), query: 'WIKIPEDIA', status: '1 match', open: [4, 5],
    titles: ['Autre Divers', 'doc', 'Wikipedia, the free encyclopedia'] },
  { file: sample('icab-1.html'), query: 'chicago', status: '1 match', open: [20, 24, 25],
    titles: ['Ebay', 'Locations', 'New York', 'Chicago'] },
  { file: sample('chrome-2.html'), query: 'python', status: '1 match', open: [],
    titles: ['Welcome to Python.org'] },
];

for (const search of searches) {
  test(`${path.basename(search.file)}: filtering for "${search.query}"`, async () => {
    const view = await openPage(browser, search.file);
    const { page } = view;
    await page.locator('#qm-filter').fill(search.query);
    await waitForEqual(page, 'the matches and their folders', visibleTitles, search.titles);
    assert.deepEqual(await openFolders(page), expectTree(search.open));
    assert.equal(await status(page), search.status);
    await view.assertClean();
  });
}

// Ways to clear the box; each must give back the tree as it was before typing.
const clearings = [
  { how: 'emptying the box', clear: (page) => page.locator('#qm-filter').fill('') },
  { how: 'pressing Escape', clear: (page) => page.locator('#qm-filter').press('Escape') },
  { how: 'deleting the text', clear: async (page) => {
    await page.locator('#qm-filter').selectText();
    await page.keyboard.press('Backspace');
  } },
];

for (const { how, clear } of clearings) {
  test(`clearing the filter by ${how} restores the open folders and pictures`, async () => {
    const view = await openPage(browser, handMade('nested.html'));
    const { page } = view;
    // Projects and Travel open, Garden closed with Tools open inside it.
    for (const n of [1, 2, 3, 2, 6]) await folderAnchor(page, n).click();
    const before = expectTree([1, 3, 6], [1, 6]);
    await waitForEqual(page, 'the starting tree', openFolders, before);
    const titlesBefore = await visibleTitles(page);
    const statusBefore = await status(page);

    await page.locator('#qm-filter').pressSequentially('lantern');
    await waitForEqual(page, 'the filtered tree', openFolders, expectTree([1, 2, 3, 4]));
    // Folders clicked while filtering do not outlive the filter.
    await folderAnchor(page, 4).click();
    await waitForFolder(page, 4, false);

    await clear(page);
    await waitForEqual(page, 'the tree as it was', openFolders, before);
    assert.deepEqual(await visibleTitles(page), titlesBefore);
    assert.equal(await page.locator('#qm-filter').inputValue(), '');
    assert.equal(await status(page), statusBefore);
    await view.assertClean();
  });
}

test('expand all while filtering ends the filter and opens everything', async () => {
  const view = await openPage(browser, handMade('nested.html'));
  const { page } = view;
  await page.locator('#qm-filter').fill('lantern');
  await waitForEqual(page, 'the filtered tree', openFolders, expectTree([1, 2, 3, 4]));
  await clickButton(page, 'Expand all');
  await waitForEqual(page, 'every folder open', openFolders, expectTree([1, 2, 3, 4, 5, 6, 7]));
  assert.equal(await page.locator('#qm-filter').inputValue(), '');
  assert.equal((await visibleTitles(page)).length, 14, 'every entry is shown');
  await view.assertClean();
});
