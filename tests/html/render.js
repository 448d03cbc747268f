#!/usr/bin/env node
// Renders the study pages of generated data files in headless Chromium and
// checks what a reader gets: the page loads from the file with the network
// cut off and asks for nothing else, every chart's SVG is drawn with a
// non-zero size and fits an A4 page, nothing is reported on the console,
// the page is read in standards mode (not quirks), and it prints to A4. One
// page is taken from standard output, as a pipeline gets it.
//
//   render.js TALLYCNV STUDY_PAGE_FILES [--screenshot OUT.png]
//
// Exits 77 (skipped) where Chromium or the vendored driver (npm ci in this
// folder) is missing, unless TALLYCNV_REQUIRE_CHROMIUM is set (CI), when that
// is a failure. CHROMIUM names another browser binary.
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const { execFileSync } = require('child_process');

const chromium = process.env.CHROMIUM || '/usr/bin/chromium';
if (!fs.existsSync(chromium)) {
  console.log(`skipped: no Chromium at ${chromium}`);
  process.exit(process.env.TALLYCNV_REQUIRE_CHROMIUM ? 1 : 77);
}
let playwright;
try {
  playwright = require('playwright-core');
} catch (e) {
  console.log('skipped: playwright-core is not installed (npm ci in tests/html)');
  process.exit(process.env.TALLYCNV_REQUIRE_CHROMIUM ? 1 : 77);
}

const [program, makeFiles, ...rest] = process.argv.slice(2);
const screenshotAt = rest.indexOf('--screenshot');
const screenshot = screenshotAt >= 0 ? rest[screenshotAt + 1] : null;

// A4 less 15 mm margins on each side, in CSS pixels (96 per inch).
const printableWidth = ((210 - 30) / 25.4) * 96;

async function checkPage(browser, file, least) {
  const problems = [];
  const context = await browser.newContext({ offline: true, viewport: { width: 900, height: 1200 } });
  const page = await context.newPage();
  page.on('console', (m) => problems.push(`console ${m.type()}: ${m.text()}`));
  page.on('pageerror', (e) => problems.push(`page error: ${e.message}`));
  page.on('requestfailed', (r) => problems.push(`request failed: ${r.url()}`));
  await page.route('**/*', (route) => {
    const url = route.request().url();
    if (url === `file://${file}`) {
      return route.continue();
    }
    problems.push(`asks for ${url}`);
    return route.abort();
  });
  const response = await page.goto(`file://${file}`, { waitUntil: 'load' });
  if (response && !response.ok()) {
    problems.push(`load: ${response.status()}`);
  }
  const mode = await page.evaluate(() => document.compatMode);
  if (mode !== 'CSS1Compat') {
    problems.push(`read in ${mode}, not in standards mode`);
  }
  for (const media of ['screen', 'print']) {
    await page.emulateMedia({ media });
    const charts = await page.$$eval('svg.chart', (svgs) =>
      svgs.map((svg) => {
        const box = svg.getBoundingClientRect();
        return { title: svg.querySelector('title').textContent, width: box.width, height: box.height };
      }),
    );
    if (charts.length < least) {
      problems.push(`${media}: ${charts.length} charts, at least ${least} expected`);
    }
    for (const c of charts) {
      if (!(c.width > 0 && c.height > 0)) {
        problems.push(`${media}: chart "${c.title}" is ${c.width} x ${c.height}`);
      }
      if (media === 'print' && c.width > printableWidth + 0.5) {
        problems.push(`print: chart "${c.title}" is ${c.width}px wide, wider than A4`);
      }
    }
  }
  await page.emulateMedia({ media: 'screen' });
  const pdf = await page.pdf({ format: 'A4' });
  if (!pdf.subarray(0, 5).equals(Buffer.from('%PDF-'))) {
    problems.push('no PDF printed');
  }
  if (screenshot && file.endsWith('WEIGH.html')) {
    await page.setViewportSize({ width: 900, height: 1500 });
    await page.screenshot({ path: screenshot });
  }
  await context.close();
  return problems;
}

async function main() {
  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'study-html-'));
  execFileSync(makeFiles, [scratch]);
  // The weigh site with every chart, its hostile twin, and the two interval files.
  const runs = [
    ['WEIGH.DAT', ['--speed-limit=90'], 7],
    ['HOSTILE.DAT', [], 7],
    ['BINNED.DAT', [], 3],
    ['HOURLY.DAT', [], 2],
    ['WEIGH.DAT', [], 7, 'from standard output'],
  ];
  const browser = await playwright.chromium.launch({
    executablePath: chromium,
    args: [
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
    ],
  });
  let failures = 0;
  try {
    for (const [source, options, least, piped] of runs) {
      const page = path.join(scratch, source.replace('.DAT', piped ? '-piped.html' : '.html'));
      if (piped) {
        // No "^": the banner goes to standard error, the page alone to standard output.
        const html = execFileSync(program, [path.join(scratch, source), '-fhtml', ...options], {
          cwd: scratch,
          stdio: ['ignore', 'pipe', 'ignore'],
        });
        fs.writeFileSync(page, html);
      } else {
        execFileSync(program, [path.join(scratch, source), page, '^', '-fhtml', ...options], { cwd: scratch });
      }
      const problems = await checkPage(browser, page, least);
      for (const p of problems) {
        console.log(`${source}: ${p}`);
      }
      console.log(`${source}: ${problems.length === 0 ? 'ok' : 'FAILED'}`);
      failures += problems.length;
    }
  } finally {
    await browser.close();
    fs.rmSync(scratch, { recursive: true, force: true });
  }
  process.exit(failures === 0 ? 0 : 1);
}

main().catch((e) => {
  console.log(`error: ${e.stack || e}`);
  process.exit(1);
});
