// Takes the pictures of a converted real export that docs/ shows: the tree with its folders
// open in light and dark colours, and at a phone's width. Run from tests/browser after a build:
//
//     node screenshots.js [OUTPUT_DIR]
//
// OUTPUT_DIR defaults to the repository's docs/ folder. QUILLMAP_LIBRARY and the other
// variables of support.js choose the library and data, as for the tests.
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { openPage, sample, startBrowser } from './support.js';

const here = path.dirname(fileURLToPath(import.meta.url));
const outDir = process.argv[2] || path.join(here, '..', '..', 'docs');

const shots = [
  { name: 'quillmap-light.png', viewport: { width: 820, height: 640 }, colorScheme: 'light' },
  { name: 'quillmap-dark.png', viewport: { width: 820, height: 640 }, colorScheme: 'dark' },
  { name: 'quillmap-phone.png', viewport: { width: 375, height: 720 }, colorScheme: 'light' },
];

const context = await startBrowser();
try {
  for (const shot of shots) {
    const view = await openPage(context, sample('netscape-1.html'), shot);
    await view.page.click('#qm-expand');
    await view.page.waitForFunction(() => [...document.querySelectorAll('img[id^="img"]')]
      .every((img) => img.complete && img.getAttribute('src') === 'folder2.gif'));
    await view.page.mouse.move(0, shot.viewport.height - 1);  // no hover highlight
    const file = path.join(outDir, shot.name);
    await view.page.screenshot({ path: file });
    console.log(`wrote ${path.relative(process.cwd(), file)}`);
    await view.assertClean();
  }
} finally {
  await context.close();
}
