// Titles reach the screen as the export meant them: raw UTF-8 as it is, and character
// references (which the library copies byte for byte) decoded by the browser.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';
import {
  clickButton, expectTree, handMade, openFolders, openPage, sample, startBrowser, visibleTitles,
  waitForEqual,
} from './support.js';

let browser;
before(async () => { browser = await startBrowser(); });
after(async () => { await browser?.close(); });

// written: bytes the page must hold as the export wrote them; shown: titles on screen.
const pages = [
  { file: handMade('text.html'),
    written: ['Caf&#233; &amp; cr&egrave;me', 'Tom &amp; Jerry &lt;3 &#x263A;', '日本語のページ',
      'HREF="https://example.org/ja?q=1&amp;lang=ja"'],
    shown: ['Café & crème', '日本語のページ', 'Tom & Jerry <3 ☺', 'Ελληνικά — naïve résumé',
      '"Quoted" – café'],
    hrefs: { '日本語のページ': 'https://example.org/ja?q=1&lang=ja' } },
  { file: sample('chrome-2.html'),
    written: ['DigitalOcean – The developer cloud'],
    shown: ['DigitalOcean – The developer cloud', 'Twitter. It’s what’s happening / Twitter',
      'The world’s leading software development platform · GitHub'],
    hrefs: {} },
  { file: sample('netscape-1.html'),
    written: ['O\'Reilly & Associates'],
    shown: ['O\'Reilly & Associates', 'Amazon.com--Earth\'s Biggest Selection'],
    hrefs: {} },
];

for (const { file, written, shown, hrefs } of pages) {
  test(`${path.basename(file)}: titles show as the export meant`, async () => {
    const view = await openPage(browser, file);
    const { page } = view;
    const bytes = fs.readFileSync(view.made.file, 'utf8');
    for (const text of written) assert.ok(bytes.includes(text), `the page holds ${text}`);

    await clickButton(page, 'Expand all');
    const count = await page.locator('img[id^="img"]').count();
    const all = Array.from({ length: count }, (_, i) => i + 1);
    await waitForEqual(page, 'every folder open', openFolders, expectTree(all));
    const titles = await visibleTitles(page);
    for (const title of shown) assert.ok(titles.includes(title), `"${title}" among ${titles}`);
    for (const [title, href] of Object.entries(hrefs)) {
      const anchor = page.getByRole('link', { name: title, exact: true });
      assert.equal(await anchor.getAttribute('href'), href);
    }
    assert.equal(await page.title(), 'Bookmarks');
    await view.assertClean();
  });
}
