// The page as a whole: it needs nothing but itself and its two pictures, fits a phone's width,
// follows the light or dark colour scheme with readable contrast, and prints the whole tree.
import assert from 'node:assert/strict';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { after, before, test } from 'node:test';
import {
  clickButton, expectTree, folderAnchor, handMade, openFolders, openPage, sample, startBrowser,
  visibleTitles, waitFor, waitForEqual, waitForFolder,
} from './support.js';

let browser;
before(async () => { browser = await startBrowser(); });
after(async () => { await browser?.close(); });

test('the page loads only itself and its two pictures', async () => {
  const view = await openPage(browser, handMade('nested.html'));
  const { page, made } = view;
  await clickButton(page, 'Expand all');
  await waitForEqual(page, 'every folder open', openFolders, expectTree([1, 2, 3, 4, 5, 6, 7]));
  const local = (name) => pathToFileURL(path.join(made.dir, name)).href;
  const expected = [made.url, local('folder1.gif'), local('folder2.gif')];
  // Both pictures are drawn, so they were found beside the page.
  await waitFor(page, 'both pictures loaded', () => page.evaluate(() =>
    [...document.images].every((img) => img.complete && img.naturalWidth === 16)), Boolean);
  assert.deepEqual([...new Set(view.requests)].sort(), expected.sort());
  await view.assertClean();  // fails on any other request
});

const phone = { width: 375, height: 740 };
for (const file of [sample('safari-1.html'), sample('chrome-2.html'), sample('firefox-2.html'),
  handMade('text.html')]) {
  test(`${path.basename(file)}: at a phone's width nothing scrolls sideways`, async () => {
    const view = await openPage(browser, file, { viewport: phone });
    const { page } = view;
    await clickButton(page, 'Expand all');
    const layout = await page.evaluate(() => {
      const controls = [...document.querySelectorAll('#qm-bar input, #qm-bar button')];
      return {
        pageWidth: document.documentElement.scrollWidth,
        viewWidth: document.documentElement.clientWidth,
        controlsInside: controls.every((el) => {
          const box = el.getBoundingClientRect();
          return box.left >= 0 && box.right <= document.documentElement.clientWidth;
        }),
        widestEntry: Math.max(...[...document.querySelectorAll('a[href]')]
          .map((a) => a.getBoundingClientRect().right)),
      };
    });
    assert.ok(layout.pageWidth <= layout.viewWidth, `page ${layout.pageWidth} px wide`);
    assert.ok(layout.controlsInside, 'the toolbar fits');
    assert.ok(layout.widestEntry <= layout.viewWidth, 'long titles wrap');
    await view.assertClean();
  });
}

/** WCAG contrast ratio of two computed CSS colours "rgb(r, g, b)". */
function contrast(a, b) {
  const luminance = (css) => {
    const [r, g, bl] = css.match(/\d+(\.\d+)?/g).slice(0, 3).map(Number).map((v) => {
      const c = v / 255;
      return c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4;
    });
    return 0.2126 * r + 0.7152 * g + 0.0722 * bl;
  };
  const [hi, lo] = [luminance(a), luminance(b)].sort((x, y) => y - x);
  return (hi + 0.05) / (lo + 0.05);
}

for (const { colorScheme, dark } of [{ colorScheme: 'light', dark: false },
  { colorScheme: 'dark', dark: true }]) {
  test(`${colorScheme} colour scheme: matching background, readable text`, async () => {
    const view = await openPage(browser, handMade('nested.html'), { colorScheme });
    const { page } = view;
    const colours = await page.evaluate(() => {
      const style = (el) => getComputedStyle(el);
      return {
        background: style(document.body).backgroundColor,
        link: style(document.querySelector('a.qm-link')).color,
        folder: style(document.querySelector('a.qm-folder')).color,
        status: style(document.getElementById('qm-status')).color,
      };
    });
    const black = 'rgb(0, 0, 0)';
    assert.equal(contrast(colours.background, black) < 5, dark, `background ${colours.background}`);
    for (const name of ['link', 'folder', 'status']) {
      assert.ok(contrast(colours[name], colours.background) >= 4.5, `${name} ${colours[name]}`);
    }
    await view.assertClean();
  });
}

test('print shows the whole tree expanded, without the toolbar', async () => {
  const view = await openPage(browser, handMade('nested.html'));
  const { page } = view;
  // On screen: one folder open and a filter in use.
  await folderAnchor(page, 6).click();
  await waitForFolder(page, 6, true);
  await page.locator('#qm-filter').fill('seed');
  await waitForEqual(page, 'the filtered tree', visibleTitles, ['Projects', 'Garden', 'Seed catalogue']);
  const onScreen = await openFolders(page);

  await page.emulateMedia({ media: 'print' });
  const printed = await page.evaluate(() => ({
    toolbar: document.getElementById('qm-bar').checkVisibility(),
    blocks: [...document.querySelectorAll('div[id^="display"]')].every((d) => d.checkVisibility()),
    pictures: [...document.querySelectorAll('img[id^="img"]')]
      .every((img) => getComputedStyle(img).content.includes('folder2.gif')),
  }));
  assert.deepEqual(printed, { toolbar: false, blocks: true, pictures: true });
  assert.equal((await visibleTitles(page)).length, 14, 'every entry is printed');

  // Back on screen, the tree is as it was.
  await page.emulateMedia({ media: 'screen' });
  assert.deepEqual(await openFolders(page), onScreen);
  assert.deepEqual(await visibleTitles(page), ['Projects', 'Garden', 'Seed catalogue']);
  await view.assertClean();
});
