// The window's preset grid and settings column, drawn from /api/presets. A click asks the server for
// the PDF of exactly those sheets, or sends them to the school printer where the server allows it.
// Every click draws with a seed the page chooses, so 「同じ問題をもう一度」 can ask for the same sheets.
"use strict";

const STORE = "kirune.settings";
// The ゼロ switch of each kind that has one: readable name and the window's default (1 あり, 0 なし).
const ZERO = { 0: ["zero_add", 1], 1: ["zero_add10", 0], 4: ["zero_sub", 1], 5: ["zero_sub10", 0] };
const MULTIPLICATION_ROW = 6;
const DECOMPOSITION_ROW = 10;

const defaults = {
  sheets: 1, name: true, clipart: true, print: true, clipartFixed: false, clipartNumber: 30,
  answers: false, time: false, zero_add: 1, zero_add10: 0, zero_sub: 1, zero_sub10: 0, tile_rows: 2,
  rows: [0, 1, 2, 3, 4, 5, 6, 7, 8, 9], numbers: [2, 3, 4, 5, 6, 7, 8, 9, 10],
};
const ROW_CHOICES = [0, 1, 2, 3, 4, 5, 6, 7, 8, 9];
const NUMBER_CHOICES = [2, 3, 4, 5, 6, 7, 8, 9, 10];
let state = { ...defaults };
// Where a click goes. Never stored: after a reload a click opens a PDF until the printer is chosen again.
let dest = "pdf";
let limits = { maxSheets: 100, printing: false };

function load() {
  try {
    const saved = JSON.parse(localStorage.getItem(STORE) || "{}");
    for (const key of Object.keys(defaults)) {
      if (key in saved && typeof saved[key] === typeof defaults[key]) state[key] = saved[key];
    }
  } catch (e) {
    state = { ...defaults };
  }
}

function save() {
  try {
    localStorage.setItem(STORE, JSON.stringify(state));
  } catch (e) {
    // Private browsing may refuse storage; the page still works for this visit.
  }
  const share = document.getElementById("share");
  share.href = `${location.origin}/?${settingsParams().toString()}`;
}

// The settings under kirune-print's readable names: the request's parameters and the share link's.
function settingsParams() {
  const p = new URLSearchParams();
  p.set("sheets", String(state.sheets));
  p.set("name", state.name ? "1" : "0");
  p.set("clipart", state.clipart ? "1" : "0");
  p.set("print", state.print ? "1" : "0");
  p.set("clipart_fixed", state.clipartFixed ? String(state.clipartNumber) : "0");
  p.set("answers", state.answers ? "1" : "0");
  p.set("time", state.time ? "1" : "0");
  for (const [name] of Object.values(ZERO)) p.set(name, String(state[name]));
  p.set("tile_rows", String(state.tile_rows));
  p.set("rows", state.rows.length ? state.rows.join(",") : "none");
  p.set("numbers", state.numbers.length ? state.numbers.join(",") : "none");
  return p;
}

// A share link's settings, taken over where each value is one the page could have set itself.
// Returns whether the address held any.
function loadShared(params) {
  const flag = (v) => (v === "1" ? true : v === "0" ? false : undefined);
  const int = (v) => (/^\d{1,6}$/.test(v ?? "") ? Number(v) : undefined);
  const list = (v, allowed) => {
    if (v === "none") return [];
    if (!/^\d+(,\d+)*$/.test(v ?? "")) return undefined;
    const values = v.split(",").map(Number);
    return values.every((n) => allowed.includes(n)) ? allowed.filter((n) => values.includes(n)) : undefined;
  };
  const taken = {
    sheets: int(params.get("sheets")), name: flag(params.get("name")), clipart: flag(params.get("clipart")),
    print: flag(params.get("print")), answers: flag(params.get("answers")), time: flag(params.get("time")),
    rows: list(params.get("rows"), ROW_CHOICES), numbers: list(params.get("numbers"), NUMBER_CHOICES),
  };
  for (const [name] of Object.values(ZERO)) taken[name] = [0, 1].includes(int(params.get(name))) ? int(params.get(name)) : undefined;
  taken.tile_rows = [1, 2].includes(int(params.get("tile_rows"))) ? int(params.get("tile_rows")) : undefined;
  const fixed = int(params.get("clipart_fixed"));
  if (fixed === 0) taken.clipartFixed = false;
  else if (fixed !== undefined) Object.assign(taken, { clipartFixed: true, clipartNumber: fixed });
  let any = false;
  for (const [key, value] of Object.entries(taken)) {
    if (value !== undefined) {
      state[key] = value;
      any = true;
    }
  }
  return any;
}

function el(tag, attrs = {}, ...children) {
  const node = document.createElement(tag);
  for (const [k, v] of Object.entries(attrs)) {
    if (k === "class") node.className = v;
    else if (k === "text") node.textContent = v;
    else node.setAttribute(k, v);
  }
  for (const c of children) node.append(c);
  return node;
}

// The answer to a click, with a link that makes the same sheets again where there are some.
function say(text, error = false, again = "") {
  const status = document.getElementById("status");
  document.getElementById("said").textContent = text;
  status.classList.toggle("error", error);
  // The live region stays in the page, so a screen reader hears each answer; empty, it takes no room.
  status.classList.toggle("quiet", !text);
  const link = document.getElementById("again");
  link.hidden = !again;
  if (again) link.href = again;
  else link.removeAttribute("href");
}

// A pair of radio buttons bound to a numeric state field.
function radios(field, items) {
  const box = el("span", { class: "radios" });
  for (const [value, label] of items) {
    const input = el("input", { type: "radio", name: field, value: String(value), "data-setting": field });
    input.checked = state[field] === value;
    input.addEventListener("change", () => { state[field] = value; save(); });
    box.append(el("label", {}, input, label));
  }
  return box;
}

// Check boxes of a list field (times-table rows, numbers to decompose) with 全check / 全uncheck.
function listBoxes(field, title, values) {
  const boxes = el("div", { class: "boxes" });
  const inputs = values.map((n) => {
    const input = el("input", { type: "checkbox", "data-setting": field, value: String(n) });
    input.checked = state[field].includes(n);
    input.addEventListener("change", () => {
      state[field] = values.filter((v, i) => inputs[i].checked);
      save();
    });
    boxes.append(el("label", {}, input, " " + n));
    return input;
  });
  const all = (on) => () => {
    inputs.forEach((i) => { i.checked = on; });
    state[field] = on ? [...values] : [];
    save();
  };
  const check = el("button", { class: "small", type: "button", text: "全check" });
  const uncheck = el("button", { class: "small", type: "button", text: "全uncheck" });
  check.addEventListener("click", all(true));
  uncheck.addEventListener("click", all(false));
  boxes.append(check, uncheck);
  return el("div", { class: "choice" }, el("span", { class: "small-title", text: title }), boxes);
}

// A seed in the page's own address makes every click reproducible (for checks and comparisons);
// otherwise each click draws new problems under a seed of its own.
const pageSeed = new URLSearchParams(location.search).get("seed");

function newSeed() {
  if (pageSeed !== null && /^\d+$/.test(pageSeed)) return pageSeed;
  return String(crypto.getRandomValues(new Uint32Array(1))[0]);
}

function query(preset, seed) {
  const p = new URLSearchParams();
  p.set("preset", preset.button);
  for (const [k, v] of settingsParams()) p.set(k, v);
  p.set("seed", seed);
  return p;
}

function sheetWords(p) {
  return `${p.rowTitle} ${p.caption}：${state.sheets} 枚${state.answers ? "（答えつき）" : ""}`;
}

// The checks the server makes too, so that a click that cannot make sheets says why at once.
function problem(preset) {
  if (!Number.isInteger(state.sheets) || state.sheets < 1 || state.sheets > limits.maxSheets) {
    return `作成枚数は 1 から ${limits.maxSheets} までです`;
  }
  if (!state.print) return "カットが外れているので何も印刷されません";
  if (state.clipartFixed && !(state.clipartNumber >= 1 && state.clipartNumber <= 32)) return "カット番号は 1 から 32 までです";
  if (preset.guard === "rows" && state.rows.length === 0) return "段が一つも選ばれていません";
  if (preset.guard === "numbers" && state.numbers.length === 0) return "分解する数が一つも選ばれていません";
  return "";
}

function pdfAddress(preset, seed) {
  return `${location.origin}/sheets.pdf?${query(preset, seed).toString()}`;
}

function printQuestion() {
  const pages = state.answers ? `（答えつき${state.sheets * 2}ページ）` : "";
  return `${state.sheets}枚${pages}を印刷します。よろしいですか？`;
}

async function printOnServer(preset) {
  // A tap on the wrong button must not spend a class set of paper.
  if (!window.confirm(printQuestion())) return say("印刷をやめました");
  const seed = newSeed();
  say(`${sheetWords(preset)} を送っています…`);
  try {
    const res = await fetch("/print", {
      method: "POST",
      // The server prints only for requests with this header, which a form on another site cannot send.
      headers: { "Content-Type": "application/x-www-form-urlencoded", "X-Kirune-Page": "1" },
      body: query(preset, seed).toString(),
    });
    say((await res.text()).trim(), !res.ok, res.ok ? pdfAddress(preset, seed) : "");
  } catch (e) {
    say("サーバーに届きませんでした", true);
  }
}

function clickPreset(preset) {
  const why = problem(preset);
  if (why) return say(why, true);
  if (limits.printing && dest === "printer") return printOnServer(preset);
  // The browser's own viewer shows the PDF in a new tab; it prints from there.
  const address = pdfAddress(preset, newSeed());
  window.open(address, "_blank");
  say(`${sheetWords(preset)} の PDF を開きました`, false, address);
}

// What a screen reader says for a button: its row and its count, not a bare number.
function presetLabel(p) {
  const count = p.caption.normalize("NFKC").replace(/^s/, "");
  return `${p.rowTitle}${p.tiles ? " タイルつき" : ""} ${count}問`;
}

function presetButton(p) {
  const b = el("button", {
    class: "preset", type: "button", id: p.button, "data-button": p.button, "aria-label": presetLabel(p), text: p.caption,
  });
  b.style.color = p.captionColour;
  if (p.toolTip) b.title = p.toolTip;
  b.addEventListener("click", () => clickPreset(p));
  return b;
}

function half(presets, isRight, gridRow) {
  const first = presets[0];
  const node = el("div", { class: "half" });
  const tiles = presets.filter((p) => p.tiles);
  if (tiles.length) {
    const head = el("div", { class: "head" }, el("span", { class: "small-title", text: "タイルつき" }));
    if (isRight && gridRow === 1) {
      const choice = radios("tile_rows", [[2, "２段"], [1, "長"]]);
      choice.setAttribute("role", "radiogroup");
      choice.setAttribute("aria-label", "タイルの形");
      head.append(choice);
    }
    node.append(el("div", { class: "group tiles" }, head, el("div", { class: "buttons" }, ...tiles.map(presetButton))));
  }
  const head = el("div", { class: "head" }, el("span", { class: "title", text: first.rowTitle }));
  const zero = ZERO[first.kind];
  if (zero) {
    const choice = radios(zero[0], [[1, "あり"], [0, "なし"]]);
    choice.setAttribute("role", "radiogroup");
    choice.setAttribute("aria-label", `${first.rowTitle} ゼロ`);
    head.append(el("span", { class: "radios" }, "ゼロ", choice));
  }
  const counts = presets.filter((p) => !p.tiles);
  node.append(el("div", { class: "group" }, head, el("div", { class: "buttons" }, ...counts.map(presetButton))));
  return node;
}

function drawGrid(table) {
  const grid = document.getElementById("grid");
  grid.textContent = "";
  const rows = new Map();
  for (const p of table.presets) {
    if (!rows.has(p.gridRow)) rows.set(p.gridRow, [[], []]);
    rows.get(p.gridRow)[p.half].push(p);
  }
  for (const [gridRow, halves] of rows) {
    const row = el("section", { class: "gridrow", "data-row": String(gridRow) });
    halves.forEach((ps, h) => { if (ps.length) row.append(half(ps, h === 1, gridRow)); });
    if (gridRow === MULTIPLICATION_ROW) row.append(listBoxes("rows", "段の設定", [0, 1, 2, 3, 4, 5, 6, 7, 8, 9]));
    if (gridRow === DECOMPOSITION_ROW) row.append(listBoxes("numbers", "分解する数の設定", [2, 3, 4, 5, 6, 7, 8, 9, 10]));
    grid.append(row);
  }
}

// The settings column: each control kept in step with the stored state.
function bindSettings() {
  const number = (id, field) => {
    const input = document.getElementById(id);
    input.value = String(state[field]);
    input.addEventListener("input", () => { state[field] = Number(input.value); save(); });
  };
  const box = (id, field) => {
    const input = document.getElementById(id);
    input.checked = state[field];
    input.addEventListener("change", () => { state[field] = input.checked; save(); });
  };
  number("sheets", "sheets");
  number("clipartNumber", "clipartNumber");
  document.getElementById("sheets").max = String(limits.maxSheets);
  for (const id of ["name", "clipart", "print", "clipartFixed", "answers", "time"]) box(id, id);
  const destination = document.getElementById("destination");
  destination.hidden = !limits.printing;
  for (const input of destination.querySelectorAll("input")) {
    input.checked = input.value === dest;
    input.addEventListener("change", () => { dest = input.value; });
  }
}

// The skip link puts the keyboard on 作成枚数, past the hundred and more preset buttons.
function bindSkip() {
  document.getElementById("skip").addEventListener("click", (e) => {
    e.preventDefault();
    document.getElementById("sheets").focus();
  });
}

async function start() {
  // Shown only by the script, so a browser without JavaScript shows the <noscript> words alone.
  document.getElementById("loading").hidden = false;
  bindSkip();
  load();
  const params = new URLSearchParams(location.search);
  const shared = loadShared(params);
  if (shared) {
    save();
    // The address keeps only the seed, so a reload does not undo changes made after opening the link.
    const kept = new URLSearchParams();
    if (pageSeed !== null) kept.set("seed", pageSeed);
    history.replaceState(null, "", kept.toString() ? `/?${kept}` : "/");
  }
  try {
    const res = await fetch("/api/presets");
    const table = await res.json();
    limits = table.limits;
    document.getElementById("version").textContent = table.version;
    drawGrid(table);
    bindSettings();
    save();
    if (shared) say("リンクの設定を読み込みました");
    document.body.dataset.ready = "1";
  } catch (e) {
    document.getElementById("loading").textContent = "プリセットを読み込めませんでした";
  }
}

document.addEventListener("DOMContentLoaded", start);
