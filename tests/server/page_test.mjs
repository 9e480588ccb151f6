// kirune-serve's page in Debian's Chromium: the window's rows and colours, settings that change the
// request and survive a reload, and a click that opens exactly the PDF kirune-print makes.
// Usage: node page_test.mjs KIRUNE_SERVE KIRUNE_PRINT SCREENSHOT_DIR
import { spawn, execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import assert from "node:assert/strict";
import puppeteer from "puppeteer-core";

const [serveBin, printBin, shotDir] = process.argv.slice(2);
const CHROMIUM = "/usr/bin/chromium";
setTimeout(() => { console.error("page test: out of time"); process.exit(1); }, 120000).unref();

function startServer(extra = []) {
  const child = spawn(serveBin, ["--listen", "127.0.0.1:0", "--max-sheets", "10", "--workers", "2", ...extra], {
    env: { ...process.env, QT_QPA_PLATFORM: "offscreen", SOURCE_DATE_EPOCH: "" },
    stdio: ["ignore", "pipe", "inherit"],
  });
  return new Promise((resolve, reject) => {
    let out = "";
    child.stdout.on("data", (d) => {
      out += d;
      const m = out.match(/http:\/\/127\.0\.0\.1:(\d+)\//);
      if (m) resolve({ child, base: `http://127.0.0.1:${m[1]}` });
    });
    child.on("exit", (code) => reject(new Error(`kirune-serve ended: ${code}`)));
  });
}

const { child, base } = await startServer();
const browser = await puppeteer.launch({
  executablePath: CHROMIUM,
  headless: true,
  args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--no-proxy-server"],
});
let stage = "start";
const work = mkdtempSync(join(tmpdir(), "kirune-page-"));
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 1000 });
  await page.goto(`${base}/?seed=7`);
  await page.waitForSelector("body[data-ready]");

  stage = "rows";
  // The window's rows: every preset, captions coloured as the window colours them, yellow titles.
  assert.equal(await page.$$eval("button.preset", (b) => b.length), 159);
  const colour = (id) => page.$eval(`#${id}`, (b) => getComputedStyle(b).color);
  assert.equal(await colour("BitBtn13"), "rgb(0, 128, 0)");
  assert.equal(await colour("BitBtn135"), "rgb(0, 0, 255)");
  assert.equal(await colour("BitBtn151"), "rgb(255, 0, 0)");
  assert.equal(await page.$eval("#BitBtn13", (b) => b.textContent), "２０");
  assert.equal(await page.$eval("#BitBtn137", (b) => b.title), "問題の上にタイル図がいんさつされます。");
  assert.equal(await page.$eval("body", (b) => getComputedStyle(b).backgroundColor), "rgb(34, 85, 136)");
  const titles = await page.$$eval(".title", (t) => t.map((x) => [x.textContent, getComputedStyle(x).color]));
  assert.ok(titles.some(([t, c]) => t === "くりあがり" && c === "rgb(255, 255, 0)"));
  assert.ok(await page.$eval("#destination", (f) => f.hidden), "printing is off on this server");
  await page.screenshot({ path: join(shotDir, "server-page.png") });

  stage = "settings";
  // Settings as a teacher changes them: two sheets with answers, no name, rows 3 and 7, picture 5.
  await page.$eval("#sheets", (i) => { i.value = ""; });
  await page.type("#sheets", "2");
  await page.click("#answers");
  await page.click("#name");
  await page.click("#clipartFixed");
  await page.$eval("#clipartNumber", (i) => { i.value = ""; });
  await page.type("#clipartNumber", "5");
  const rowBox = (n) => `input[data-setting="rows"][value="${n}"]`;
  await page.evaluate(() => [...document.querySelectorAll("button")].find((b) => b.textContent === "全uncheck").click());
  await page.click(rowBox(3));
  await page.click(rowBox(7));

  stage = "click";
  const opened = browser.waitForTarget((t) => t.url().includes("/sheets.pdf"), { timeout: 30000 });
  await page.click("#BitBtn118");
  const pdfTarget = await opened;
  const url = new URL(pdfTarget.url());
  // The browser's viewer has the PDF; this test reads it once more below, so the tab can go.
  const pdfTab = await pdfTarget.page();
  if (pdfTab) await pdfTab.close();
  await page.bringToFront();
  const p = url.searchParams;
  assert.equal(p.get("preset"), "BitBtn118");
  assert.equal(p.get("sheets"), "2");
  assert.equal(p.get("answers"), "1");
  assert.equal(p.get("name"), "0");
  assert.equal(p.get("rows"), "3,7");
  assert.equal(p.get("clipart_fixed"), "5");
  assert.equal(p.get("seed"), "7");

  stage = "pdf";
  // The PDF behind that address is, byte for byte, what kirune-print makes of the same settings.
  const res = await fetch(url);
  assert.equal(res.status, 200);
  assert.equal(res.headers.get("content-type"), "application/pdf");
  const served = Buffer.from(await res.arrayBuffer());
  const local = join(work, "print.pdf");
  execFileSync(printBin, ["BitBtn118", "--seed", "7", "--sheets", "2", "--answers", "1", "--name", "0", "--rows",
    "3,7", "--clipart_fixed", "5", "--pdf", local], { env: { ...process.env, QT_QPA_PLATFORM: "offscreen", SOURCE_DATE_EPOCH: "" } });
  assert.ok(served.equals(readFileSync(local)), "served PDF differs from kirune-print's");

  stage = "refusal";
  // A click that cannot make sheets says why on the page and opens nothing.
  await page.evaluate(() => [...document.querySelectorAll("button")].find((b) => b.textContent === "全uncheck").click());
  await page.click("#BitBtn26");
  assert.equal(await page.$eval("#status", (s) => s.textContent), "段が一つも選ばれていません");

  stage = "reload";
  // The settings come back on the next visit.
  await page.reload();
  await page.waitForSelector("body[data-ready]");
  assert.equal(await page.$eval("#sheets", (i) => i.value), "2");
  assert.equal(await page.$eval("#answers", (i) => i.checked), true);
  assert.equal(await page.$eval("#name", (i) => i.checked), false);
  assert.equal(await page.$eval("#clipartNumber", (i) => i.value), "5");

  stage = "phone";
  // A phone: nothing wider than the screen.
  await page.setViewport({ width: 390, height: 844, isMobile: true });
  await page.reload();
  await page.waitForSelector("body[data-ready]");
  const overflow = await page.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
  assert.ok(overflow <= 0, `page is ${overflow}px wider than a phone`);
  await page.screenshot({ path: join(shotDir, "server-phone.png") });

  // Where the server may print, the page offers it; the answer of the server shows on the page.
  stage = "printer";
  const printing = await startServer(["--printer", "kirune-no-such-queue"]);
  try {
    const p2 = await browser.newPage();
    await p2.goto(`${printing.base}/`);
    await p2.waitForSelector("body[data-ready]");
    assert.equal(await p2.$eval("#destination", (f) => f.hidden), false);
    await p2.click('#destination input[value="printer"]');
    await p2.click("#BitBtn13");
    await p2.waitForFunction(() => document.getElementById("status").textContent.startsWith("プリンタ "));
    const said = await p2.$eval("#status", (s) => s.textContent);
    assert.ok(said.startsWith("プリンタ kirune-no-such-queue は使えません"), said);
    assert.equal(await p2.$eval("#status", (s) => s.className), "error");
  } finally {
    printing.child.kill("SIGTERM");
  }
  console.log("page test: ok");
} catch (e) {
  console.error(`page test: failed at ${stage}`);
  throw e;
} finally {
  await browser.close();
  child.kill("SIGTERM");
  rmSync(work, { recursive: true, force: true });
}
