// Packaged apps run under Wine with a real Chromium behind the stand-in (relay mode):
// every file of the package loads as Chromium wants it, window.kiv round trips settle
// in the page and show in the runtime's log, the title is followed, the close box is
// answered from the page, and a page from elsewhere gets no native functions.
// Run by ctest (label browser), which sets the FOLIO_* paths below.
"use strict";
const { describe, it, before, after } = require("node:test");
const assert = require("node:assert/strict");
const fs = require("node:fs");
const http = require("node:http");
const os = require("node:os");
const path = require("node:path");
const zlib = require("node:zlib");
const { Session, pack, ROOT } = require("./session");

const env = (name) => {
  if (!process.env[name]) throw new Error(`${name} is not set (the test runs from ctest)`);
  return process.env[name];
};
const paths = () => ({
  prefix: env("FOLIO_WINE_PREFIX"), folioPack: env("FOLIO_PACK"), runtime: env("FOLIO_RUNTIME"), standin: env("FOLIO_STANDIN"),
});
const artifacts = () => env("FOLIO_ARTIFACTS");

// A 4 × 4 PNG of one colour, written here so the repository holds no binaries.
function png() {
  const chunk = (type, data) => {
    const body = Buffer.concat([Buffer.from(type), data]);
    const length = Buffer.alloc(4); length.writeUInt32BE(data.length);
    const crc = Buffer.alloc(4); crc.writeUInt32BE(zlib.crc32(body));
    return Buffer.concat([length, body, crc]);
  };
  const header = Buffer.alloc(13);
  header.writeUInt32BE(4, 0); header.writeUInt32BE(4, 4); header[8] = 8; header[9] = 2;
  const rows = Buffer.concat(Array.from({ length: 4 }, () => Buffer.from([0, ...Array(4).fill([40, 90, 200]).flat()])));
  return Buffer.concat([Buffer.from("\x89PNG\r\n\x1a\n", "latin1"), chunk("IHDR", header), chunk("IDAT", zlib.deflateSync(rows)), chunk("IEND", Buffer.alloc(0))]);
}

// (module (func (export "add") (param i32 i32) (result i32) local.get 0 local.get 1 i32.add))
const ADD_WASM = Buffer.from("0061736d0100000001070160027f7f017f030201000707010361646400000a09010700200020016a0b", "hex");

// A sound large enough to be streamed from the package (over 1 MiB): 8-bit mono PCM at
// 8 kHz, 200 seconds of a tone.
const TONE_SECONDS = 200;
function toneWav() {
  const samples = 8000 * TONE_SECONDS;
  const header = Buffer.alloc(44);
  header.write("RIFF", 0); header.writeUInt32LE(36 + samples, 4); header.write("WAVE", 8);
  header.write("fmt ", 12); header.writeUInt32LE(16, 16); header.writeUInt16LE(1, 20); header.writeUInt16LE(1, 22);
  header.writeUInt32LE(8000, 24); header.writeUInt32LE(8000, 28); header.writeUInt16LE(1, 32); header.writeUInt16LE(8, 34);
  header.write("data", 36); header.writeUInt32LE(samples, 40);
  const body = Buffer.alloc(samples);
  for (let i = 0; i < samples; i++) body[i] = 128 + Math.round(60 * Math.sin(i * 2 * Math.PI * 440 / 8000));
  return Buffer.concat([header, body]);
}

// The test app with its binary files: a font of Wine's, the PNG and the module.
function stageTestApp(work) {
  const app = path.join(work, "app");
  fs.cpSync(path.join(__dirname, "app"), app, { recursive: true });
  fs.mkdirSync(path.join(app, "fonts"));
  fs.copyFileSync("/usr/share/wine/fonts/marlett.ttf", path.join(app, "fonts/packaged.ttf"));
  fs.mkdirSync(path.join(app, "img"));
  fs.writeFileSync(path.join(app, "img/dot.png"), png());
  fs.writeFileSync(path.join(app, "add.wasm"), ADD_WASM);
  fs.mkdirSync(path.join(app, "media"));
  fs.writeFileSync(path.join(app, "media/tone.wav"), toneWav());
  return app;
}

function filesUnder(folder) {
  return fs.readdirSync(folder, { recursive: true }).filter((f) => fs.statSync(path.join(folder, f)).isFile()).map((f) => f.split(path.sep).join("/"));
}

async function startApp(name, appDir, work) {
  const exe = path.join(work, `${name}.exe`);
  pack({ ...paths(), appDir, output: exe });
  const session = new Session({ exe, prefix: paths().prefix, log: path.join(work, "standin.log") });
  try {
    return await session.start();
  } catch (error) {
    await session.stop();
    throw error;
  }
}

// The bridge's answers the runtime posted, by uuid.
function answersInLog(session) {
  const answers = new Map();
  for (const line of session.logLines()) {
    if (line.event !== "web-message-posted") continue;
    const reply = JSON.parse(line.json);
    answers.set(reply.uuid, reply);
  }
  return answers;
}

// Every file of the package was asked for, answered with 200, and taken by Chromium.
function assertServed(session, webFiles) {
  const { served, errors } = session.relay;
  assert.deepEqual(errors, [], "the page reported troubles");
  for (const file of webFiles) {
    const entry = served.find((s) => s.url === `file:///${file}`);
    assert.ok(entry, `file:///${file} was not requested and answered`);
    assert.equal(entry.status, 200, file);
    assert.ok(entry.mimeType, `Chromium did not take the response of ${file}`);
  }
  const logged = session.logLines().filter((l) => l.event === "response").map((l) => l.url);
  for (const file of webFiles) assert.ok(logged.includes(`file:///${file}`), `${file} missing from the stand-in's log`);
}

async function screenshot(session, name) {
  fs.mkdirSync(artifacts(), { recursive: true });
  const file = path.join(artifacts(), name);
  fs.writeFileSync(file, await session.relay.screenshot());
  return file;
}

describe("hello app in Chromium", () => {
  let work, session;
  before(async () => {
    work = fs.mkdtempSync(path.join(os.tmpdir(), "folio-browser-hello-"));
    session = await startApp("hello", path.join(ROOT, "examples/hello"), work);
    assert.ok(await session.relay.poll("document.documentElement.dataset.ready === '1'", 30000), "hello never became ready");
  });
  after(async () => {
    await session?.stop();
    fs.rmSync(work, { recursive: true, force: true });
  });

  it("loads every file of the package", () => {
    assertServed(session, filesUnder(path.join(ROOT, "examples/hello")).filter((f) => f !== "kiv.ini"));
  });

  it("shows the runtime's answers", async () => {
    const rows = Object.fromEntries(await session.relay.evaluate(
      "[...document.querySelectorAll('#facts tr')].map((r) => [r.cells[0].textContent, r.cells[1].textContent])"));
    assert.match(rows["Runtime version"], /^\d+\.\d+/);
    assert.equal(rows["Running in the runtime"], "yes");
    assert.equal(rows["C:\\Windows\\win.ini exists"], "yes");
    assert.equal(rows["Window title"], "Hello from Folio");
    assert.match(rows["Window size"], /^\d+ × \d+$/);
    await screenshot(session, "browser-hello.png");
  });

  it("closes when the page answers the close box", async () => {
    session.relay.close();
    assert.ok(await session.waitExit(30000), "the runtime did not end");
    assert.equal(session.exitCode, 0);
    assert.ok(session.logLines().some((l) => l.event === "script-executed" && l.script.includes("onCloseQuery")));
  });
});

describe("test app in Chromium", () => {
  let work, session, results, elsewhere;
  before(async () => {
    work = fs.mkdtempSync(path.join(os.tmpdir(), "folio-browser-app-"));
    const app = stageTestApp(work);
    session = await startApp("app", app, work);
    assert.ok(await session.relay.poll("document.documentElement.dataset.ready === '1'", 60000), "the test app never became ready");
    results = await session.relay.evaluate("window.folioResults");
    session.webFiles = filesUnder(app).filter((f) => f !== "kiv.ini");
  });
  after(async () => {
    await session?.stop();
    elsewhere?.close();
    fs.rmSync(work, { recursive: true, force: true });
  });

  it("loads every file of the package, as Chromium wants it", async () => {
    assertServed(session, session.webFiles);
    assert.equal(results.failure, undefined);
    assert.equal(results.moduleDepth, 3);
    assert.deepEqual(results.json, { name: "Grüße, 世界", list: [1, 2, 3] });
    assert.equal(results.wasmAdd, 5);
    assert.equal(results.font, true);
    assert.equal(results.image, 4);
    await screenshot(session, "browser-app.png");
  });

  // Chromium takes a streamed module only with the type application/wasm, without
  // parameters: the runtime sends that type alone.
  it("compiles the .wasm module with streaming compilation", () => {
    assert.deepEqual(results.wasmStreaming, { ok: true, value: 42 });
  });

  // Media ask for parts of a file: a Range request gets 206 and those bytes, and a
  // packaged sound seeks to its middle.
  it("answers Range requests, so media elements seek", () => {
    const size = 44 + 8000 * TONE_SECONDS;
    assert.deepEqual(results.range, { status: 206, contentRange: `bytes 1000-1009/${size}`, same: true });
    assert.deepEqual(results.audio, { ok: true, value: { duration: TONE_SECONDS, at: TONE_SECONDS / 2 } });
    assert.ok(session.relay.served.some((s) => s.url === "file:///media/tone.wav" && s.status === 206));
  });

  // One function of each family.
  const families = [
    ["hello", 10001, true, (v) => assert.match(v, /^\d+\.\d+/)],
    ["isRuntime", 10002, true, (v) => assert.equal(v, true)],
    ["fileExists", 30001, true, (v) => assert.equal(v, true)],
    ["getTempDir", 40003, true, (v) => assert.match(v, /\\$/)],
    ["getArgs", 50005, true, (v) => assert.ok(v !== undefined)],
    ["getSize", 60009, true, (v) => assert.ok(v.width > 0 && v.height > 0)],
    ["shell", 70004, true, (v) => assert.ok(Array.isArray(v))],
    ["themes", 80002, true, (v) => assert.ok(Array.isArray(v) && v.includes("Carbon"))],
    ["mainMenu", 12001, true, (v) => assert.equal(v, true)],
  ];
  for (const [name, id, landed, check] of families) {
    it(`round trip: ${name}`, (t) => {
      const call = results.calls[name];
      if (!landed && call.value === "no answer") return t.skip("not answered by this runtime yet");
      assert.equal(call.ok, true, `${name}: ${call.value}`);
      check(call.value);
      const message = results.posted.find((m) => m.id === id);
      assert.ok(message, `${name}: the page posted no ${id}`);
      const answer = answersInLog(session).get(message.uuid);
      assert.ok(answer, `${name}: the runtime's log has no answer to ${message.uuid}`);
      assert.deepEqual([answer.success, answer.result], [true, call.value]);
    });
  }

  it("follows the page's title, non-ASCII included", () => {
    assert.deepEqual(results.titleBack, { ok: true, value: "Titre changé ✓ 世界" });
    assert.ok(session.relay.titles.includes("Titre changé ✓ 世界"));
  });

  it("asks the runtime about new windows, which leaves one to the web alone", async () => {
    await session.relay.page.send("Runtime.evaluate", { expression: 'window.open("https://example.invalid/page.html")', userGesture: true });
    const newWindow = () => session.logLines().find((l) => l.event === "new-window");
    await session.relay.until(() => session.relay.newWindows?.length, 20000, "the new-window answer");
    assert.deepEqual(newWindow(), { pid: newWindow().pid, event: "new-window", uri: "https://example.invalid/page.html", handled: false });
  });

  it("gives a page from elsewhere no native functions, whatever it claims", async () => {
    elsewhere = http.createServer((request, response) => {
      response.writeHead(200, { "Content-Type": "text/html; charset=utf-8" });
      response.end("<!doctype html><title>Elsewhere</title><p>elsewhere</p>");
    });
    await new Promise((resolve) => elsewhere.listen(0, "127.0.0.1", resolve));
    const url = `http://127.0.0.1:${elsewhere.address().port}/page.html`;
    const loads = session.relay.loaded;
    await session.relay.page.send("Page.navigate", { url });
    await session.relay.until(() => session.relay.loaded > loads, 30000, "the page from elsewhere");
    const outcome = await session.relay.evaluate(`(async () => {
      window.chrome.webview.postMessage({ id: 10001, uuid: "forged-1", data: {}, source: "file:///index.html" });
      const answer = await Promise.race([window.kiv.hello().then(() => "answered", () => "refused"),
                                         new Promise((r) => setTimeout(() => r("no answer"), 4000))]);
      return { answer, href: location.href };
    })()`);
    assert.deepEqual(outcome, { answer: "no answer", href: url });
    assert.ok(session.relay.messages.some((m) => m.source === url), "the runtime was not sent the page's messages");
    assert.equal(answersInLog(session).has("forged-1"), false);
  });

  it("closes when the page answers the close box", async () => {
    const loads = session.relay.loaded;
    await session.relay.page.send("Page.navigate", { url: "file:///index.html" });
    await session.relay.until(() => session.relay.loaded > loads, 30000, "the start page again");
    assert.ok(await session.relay.poll("document.documentElement.dataset.ready === '1'", 60000));
    session.relay.close();
    assert.ok(await session.waitExit(30000), "the runtime did not end");
    assert.equal(session.exitCode, 0);
    const executed = session.logLines().filter((l) => l.event === "script-executed" && l.script.includes("onCloseQuery"));
    assert.ok(executed.length >= 1);
  });
});
