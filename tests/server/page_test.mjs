// kirune-serve's page in Debian's Chromium: the window's rows and colours, settings that change the
// request and survive a reload, a click that opens exactly the PDF kirune-print makes and a link that
// makes it again, a share link, the keyboard and screen-reader paths (axe-core), a phone, no JavaScript,
// and printing that asks first.
// Usage: node page_test.mjs KIRUNE_SERVE KIRUNE_PRINT SCREENSHOT_DIR
import { spawn, execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { createRequire } from "node:module";
import assert from "node:assert/strict";
import puppeteer from "puppeteer-core";

const [serveBin, printBin, shotDir] = process.argv.slice(2);
const axeSource = readFileSync(createRequire(import.meta.url).resolve("axe-core/axe.min.js"), "utf8");
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

// axe-core's rules over the page as it stands: nothing serious or critical may be found.
async function checkAxe(page, where) {
  await page.evaluate(axeSource);
  const found = await page.evaluate(async () => (await window.axe.run(document)).violations
    .filter((v) => v.impact === "serious" || v.impact === "critical")
    .map((v) => `${v.id} (${v.impact}): ${v.nodes.slice(0, 3).map((n) => n.target.join(" ")).join(", ")}`));
  assert.deepEqual(found, [], `axe at ${where}`);
}

// Every control of the page, brought into view in turn, is the element found at its own centre:
// nothing (the status line above all) lies over it.
async function checkNothingCovered(page) {
  const covered = await page.evaluate(() => {
    const hidden = [];
    for (const c of document.querySelectorAll("#page button, #page input, #page a, #status a:not([hidden])")) {
      c.scrollIntoView({ block: "end" });
      const r = c.getBoundingClientRect();
      const hit = document.elementFromPoint(r.left + r.width / 2, r.top + r.height / 2);
      if (!(hit === c || c.contains(hit) || (hit && hit.contains(c)) || (hit && hit === c.closest("label")))) {
        hidden.push(`${c.id || c.textContent || c.value} under ${hit ? hit.id || hit.tagName : "nothing"}`);
      }
    }
    return hidden;
  });
  assert.deepEqual(covered, [], "controls covered");
}
const work = mkdtempSync(join(tmpdir(), "kirune-page-"));
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 1000 });
  await page.goto(`${base}/`);
  await page.waitForSelector("body[data-ready]");

  stage = "keyboard";
  // The first Tab reaches the skip link, and it puts the keyboard on 作成枚数 at once.
  await page.keyboard.press("Tab");
  assert.equal(await page.evaluate(() => document.activeElement.id), "skip");
  await page.keyboard.press("Enter");
  assert.equal(await page.evaluate(() => document.activeElement.id), "sheets");
  // A screen reader hears a preset's row and count, not a bare number.
  const heard = async (id) => (await page.accessibility.snapshot({ root: await page.$(`#${id}`) })).name;
  assert.equal(await heard("BitBtn57"), "くりあがり 10問");
  assert.equal(await heard("BitBtn153"), "くりあがり タイルつき 18問");
  assert.equal(await heard("BitBtn86"), "かけ算九九(含0) 100問");
  await checkAxe(page, "1400x1000");

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
  await page.evaluate(() => document.activeElement.blur());
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
  // The link under the answer asks for that same address again, seed and all.
  assert.equal(await page.$eval("#again", (a) => a.hidden), false);
  assert.equal(await page.$eval("#again", (a) => a.href), url.href);
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
  const seed = p.get("seed");
  assert.match(seed, /^\d+$/);

  stage = "pdf";
  // The PDF behind that address is, byte for byte, what kirune-print makes of the same settings.
  const res = await fetch(url);
  assert.equal(res.status, 200);
  assert.equal(res.headers.get("content-type"), "application/pdf");
  const served = Buffer.from(await res.arrayBuffer());
  const local = join(work, "print.pdf");
  execFileSync(printBin, ["BitBtn118", "--seed", seed, "--sheets", "2", "--answers", "1", "--name", "0", "--rows",
    "3,7", "--clipart_fixed", "5", "--pdf", local], { env: { ...process.env, QT_QPA_PLATFORM: "offscreen", SOURCE_DATE_EPOCH: "" } });
  assert.ok(served.equals(readFileSync(local)), "served PDF differs from kirune-print's");
  // The next click draws new problems.
  const next = browser.waitForTarget((t) => t.url().includes("/sheets.pdf"), { timeout: 30000 });
  await page.click("#BitBtn118");
  const nextTarget = await next;
  assert.notEqual(new URL(nextTarget.url()).searchParams.get("seed"), seed);
  const nextTab = await nextTarget.page();
  if (nextTab) await nextTab.close();
  await page.bringToFront();

  stage = "share";
  // The share link, opened in a browser that has never seen the page, brings the same settings.
  const shareUrl = await page.$eval("#share", (a) => a.href);
  const fresh = await browser.createBrowserContext();
  try {
    const other = await fresh.newPage();
    await other.goto(shareUrl);
    await other.waitForSelector("body[data-ready]");
    assert.equal(await other.$eval("#sheets", (i) => i.value), "2");
    assert.equal(await other.$eval("#answers", (i) => i.checked), true);
    assert.equal(await other.$eval("#name", (i) => i.checked), false);
    assert.equal(await other.$eval("#clipartFixed", (i) => i.checked), true);
    assert.equal(await other.$eval("#clipartNumber", (i) => i.value), "5");
    const rows = await other.$$eval('input[data-setting="rows"]:checked', (b) => b.map((x) => x.value));
    assert.deepEqual(rows, ["3", "7"]);
    assert.equal(new URL(other.url()).search, "", "the settings leave the address once taken");
  } finally {
    await fresh.close();
  }

  stage = "refusal";
  // A click that cannot make sheets says why on the page and opens nothing.
  await page.evaluate(() => [...document.querySelectorAll("button")].find((b) => b.textContent === "全uncheck").click());
  await page.click("#BitBtn26");
  assert.equal(await page.$eval("#said", (s) => s.textContent), "段が一つも選ばれていません");

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
  const overflow = await page.evaluate(() => Math.max(document.documentElement.scrollWidth - window.innerWidth,
    document.getElementById("page").scrollWidth - document.getElementById("page").clientWidth));
  assert.ok(overflow <= 0, `page is ${overflow}px wider than a phone`);
  // With an answer showing at the foot, nothing is covered.
  await page.click("#BitBtn26");
  assert.equal(await page.$eval("#status", (s) => s.classList.contains("quiet")), false);
  await checkNothingCovered(page);
  await checkAxe(page, "390x844");
  await page.$eval("#page", (p) => p.scrollTo(0, 0));
  await page.screenshot({ path: join(shotDir, "server-phone.png") });

  stage = "no script";
  // Without JavaScript the page says so in Japanese instead of loading for ever.
  const bare = await browser.newPage();
  await bare.setJavaScriptEnabled(false);
  await bare.goto(`${base}/`);
  const text = await bare.evaluate(() => document.body.innerText);
  assert.ok(text.includes("JavaScript を有効にしてから"), text);
  assert.ok(!text.includes("読み込み中"), text);
  await bare.close();

  // Where the server may print, the page offers it; the answer of the server shows on the page.
  stage = "printer";
  const printing = await startServer(["--printer", "kirune-no-such-queue"]);
  try {
    const p2 = await browser.newPage();
    await p2.goto(`${printing.base}/`);
    await p2.waitForSelector("body[data-ready]");
    assert.equal(await p2.$eval("#destination", (f) => f.hidden), false);
    const sent = [];
    p2.on("request", (r) => { if (r.url().endsWith("/print")) sent.push(r.headers()); });
    const answerDialog = (accept) => new Promise((resolve) => p2.once("dialog", async (d) => {
      const message = d.message();
      await (accept ? d.accept() : d.dismiss());
      resolve(message);
    }));
    await p2.click('#destination input[value="printer"]');
    // Asked first, with the sheets and pages to come; no means nothing is sent.
    let asked = answerDialog(false);
    await p2.click("#BitBtn13");
    assert.equal(await asked, "1枚を印刷します。よろしいですか？");
    assert.equal(await p2.$eval("#said", (s) => s.textContent), "印刷をやめました");
    await p2.$eval("#sheets", (i) => { i.value = ""; });
    await p2.type("#sheets", "3");
    await p2.click("#answers");
    asked = answerDialog(true);
    await p2.click("#BitBtn13");
    assert.equal(await asked, "3枚（答えつき6ページ）を印刷します。よろしいですか？");
    await p2.waitForFunction(() => document.getElementById("said").textContent.startsWith("プリンタ "));
    const said = await p2.$eval("#said", (s) => s.textContent);
    assert.ok(said.startsWith("プリンタ kirune-no-such-queue は使えません"), said);
    assert.equal(await p2.$eval("#status", (s) => s.classList.contains("error")), true);
    assert.equal(sent.length, 1, "one request, after the yes");
    assert.equal(sent[0]["x-kirune-page"], "1");
    // After a reload a click opens a PDF again until the printer is chosen once more.
    await p2.reload();
    await p2.waitForSelector("body[data-ready]");
    assert.equal(await p2.$eval('#destination input[value="pdf"]', (i) => i.checked), true);
    assert.equal(await p2.$eval('#destination input[value="printer"]', (i) => i.checked), false);
    await checkAxe(p2, "printing server");
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
