// The example apps of examples/ run as their users would run them: packaged, under Wine,
// with a real Chromium behind the stand-in. The first-app guide's calls answer as the
// guide's table says; notes opens a file, asks at the close box and saves; the tray
// utility switches themes, stays on top and closes to the tray. Run by ctest (label
// browser), which sets the FOLIO_* paths.
"use strict";
const { describe, it, before, after } = require("node:test");
const assert = require("node:assert/strict");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const { Session, pack, winePath, ROOT } = require("./session");

const env = (name) => {
  if (!process.env[name]) throw new Error(`${name} is not set (the test runs from ctest)`);
  return process.env[name];
};
const paths = () => ({
  prefix: env("FOLIO_WINE_PREFIX"), folioPack: env("FOLIO_PACK"), runtime: env("FOLIO_RUNTIME"), standin: env("FOLIO_STANDIN"),
});

// Packs examples/NAME, starts it and waits for its page to mark itself ready.
async function startExample(name, work) {
  const exe = path.join(work, `${name}.exe`);
  pack({ ...paths(), appDir: path.join(ROOT, "examples", name), output: exe });
  const session = new Session({ exe, prefix: paths().prefix, log: path.join(work, "standin.log") });
  try {
    await session.start();
    assert.ok(await session.relay.poll("document.documentElement.dataset.ready === '1'", 60000), `${name} never became ready`);
  } catch (error) {
    await session.stop();
    throw error;
  }
  return session;
}

async function screenshot(session, name) {
  const folder = path.join(env("FOLIO_ARTIFACTS"), "examples");
  fs.mkdirSync(folder, { recursive: true });
  fs.writeFileSync(path.join(folder, name), await session.relay.screenshot());
}

// The rows of the guide's table of answers: | `call` | `answer` |.
function guideAnswers() {
  const guide = fs.readFileSync(path.join(ROOT, "docs/first-app.md"), "utf8");
  return [...guide.matchAll(/^\| `([^`]+)` \| `([^`]+)` \|$/gm)].map(([, call, answer]) => [call, answer]);
}

describe("examples/first-app, the guide's app", () => {
  let work, session;
  before(async () => {
    work = fs.mkdtempSync(path.join(os.tmpdir(), "folio-example-first-"));
    session = await startExample("first-app", work);
  });
  after(async () => {
    await session?.stop();
    fs.rmSync(work, { recursive: true, force: true });
  });

  it("answers every call as the guide's table says", async () => {
    const shown = await session.relay.evaluate(
      "[...document.querySelectorAll('#answers li')].map((li) => [li.children[0].textContent, li.children[1].textContent])");
    const expected = guideAnswers();
    assert.ok(expected.length >= 7, "the guide's table read as too few rows");
    assert.deepEqual(shown, expected);
    await screenshot(session, "first-app.png");
  });

  it("closes at the close box", async () => {
    session.relay.close();
    assert.ok(await session.waitExit(30000), "the runtime did not end");
    assert.equal(session.exitCode, 0);
  });
});

describe("examples/notes", () => {
  let work, session, note;
  before(async () => {
    work = fs.mkdtempSync(path.join(os.tmpdir(), "folio-example-notes-"));
    note = path.join(work, "shopping list.txt");
    fs.writeFileSync(note, "\ufeffbread\r\nmilk\r\n");
    session = await startExample("notes", work);
  });
  after(async () => {
    await session?.stop();
    fs.rmSync(work, { recursive: true, force: true });
  });

  it("sets its menu bar and opens a file by fetching it", async () => {
    assert.equal(await session.relay.evaluate(`notes.openPath(${JSON.stringify(winePath(note))}).then(() => text.value)`), "bread\nmilk\n");
    assert.ok(session.logLines().some((l) => l.event === "web-message-posted" && /"result": true/.test(l.json)));
  });

  it("asks at the close box when there are changes, saves, then closes", async () => {
    await session.relay.evaluate("text.value += 'eggs'; text.dispatchEvent(new Event('input')); notes.dirty()");
    session.relay.close();
    assert.ok(await session.relay.poll("document.getElementById('ask').open", 20000), "the question did not show");
    assert.match(await session.relay.evaluate("document.getElementById('question').textContent"), /shopping list\.txt/);
    await screenshot(session, "notes.png");
    await session.relay.evaluate("document.getElementById('askSave').click()");
    assert.ok(await session.waitExit(30000), "the runtime did not end after saving");
    assert.equal(session.exitCode, 0);
    assert.equal(fs.readFileSync(note, "utf8"), "\ufeffbread\r\nmilk\r\neggs\r\n");
  });
});

describe("examples/tray", () => {
  let work, session;
  before(async () => {
    work = fs.mkdtempSync(path.join(os.tmpdir(), "folio-example-tray-"));
    session = await startExample("tray", work);
  });
  after(async () => {
    await session?.stop();
    fs.rmSync(work, { recursive: true, force: true });
  });

  const state = () => session.relay.evaluate(
    "Object.fromEntries([...document.querySelectorAll('#state tr')].map((r) => [r.cells[0].textContent, r.cells[1].textContent]))");

  it("starts with the theme of its kiv.ini, its tray menu set", async () => {
    const answers = await session.relay.evaluate("tray.answers");
    assert.equal(typeof answers.showIcon, "boolean");
    assert.equal(answers.setItems, true);
    assert.deepEqual(await state(), { "Theme": "Carbon", "Window state": "normal", "Window style": "normal", "Window frame": "toolwindow" });
  });

  it("switches the theme and keeps the window on top", async () => {
    await session.relay.evaluate("tray.setTheme('Windows').then(() => tray.setOnTop(true))");
    const now = await state();
    assert.equal(now["Theme"], "Windows");
    assert.equal(now["Window style"], "ontop");
    assert.equal(typeof await session.relay.evaluate("tray.notify()"), "boolean");
    await screenshot(session, "tray.png");
  });

  it("goes to the tray at the close box, and quits from its menu", async () => {
    session.relay.close();
    assert.ok(await session.relay.poll("document.getElementById('events').textContent.includes('Closed to the tray')", 20000));
    assert.equal(session.exitCode, undefined, "the close box ended the app");
    await session.relay.evaluate("tray.quit()");
    assert.ok(await session.waitExit(30000), "the runtime did not end at Quit");
    assert.equal(session.exitCode, 0);
  });
});
