// The window.kiv library in Node's test runner, against a fake window.chrome.webview.
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");
const vm = require("node:vm");

const source = fs.readFileSync(path.join(__dirname, "../../resources/kiv.js"), "utf8");

// A fresh page: the library loaded into a context whose webview records what is posted
// and lets the test deliver replies to the registered listeners. The page may replace
// Math.random.
function page(random = Math.random) {
  const posted = [];
  const listeners = new Set();
  const webview = {
    postMessage: (message) => posted.push(message),
    addEventListener: (type, listener) => { if (type === "message") listeners.add(listener); },
    removeEventListener: (type, listener) => { if (type === "message") listeners.delete(listener); },
  };
  const window = { chrome: { webview } };
  const context = vm.createContext({ window, Math: Object.assign(Object.create(Math), { random }), Promise });
  vm.runInContext(source, context);
  const reply = (data) => { for (const l of [...listeners]) l({ data }); };
  return { kiv: window.kiv, posted, listeners, reply, webview };
}

// Every function of the library: its place, its id, and whether it passes its argument.
const table = [
  ["hello", 10001, false], ["isRuntime", 10002, false],
  ["dialogs.openFile", 20001, true], ["dialogs.saveFile", 20002, true], ["dialogs.selFolder", 20003, true],
  ["files.fileExists", 30001, true], ["files.deleteFile", 30002, true], ["files.writeTextFile", 30003, true],
  ["files.extractFile", 30004, true],
  ["folders.dirExists", 40001, true], ["folders.deleteDir", 40002, true], ["folders.getTempDir", 40003, false],
  ["folders.getUserDocumentsDir", 40004, false], ["folders.getUserDesktopDir", 40005, false],
  ["folders.getAppExecutableDir", 40006, false], ["folders.getAppDataDir", 40007, false],
  ["app.close", 50001, false], ["app.inFullscreen", 50002, false], ["app.enterFullscreen", 50003, false],
  ["app.exitFullscreen", 50004, false], ["app.getArgs", 50005, false],
  ["window.getStyle", 60001, false], ["window.setStyle", 60002, true], ["window.getState", 60003, false],
  ["window.setState", 60004, true], ["window.getTitle", 60005, false], ["window.setTitle", 60006, true],
  ["window.getZoom", 60007, false], ["window.setZoom", 60008, true], ["window.getSize", 60009, false],
  ["window.setSize", 60010, true], ["window.getBorder", 60011, false], ["window.setBorder", 60012, true],
  ["shell.execute", 70001, true], ["shell.explore", 70002, true], ["shell.command", 70003, true],
  ["shell.windows", 70004, false],
  ["themes.getTheme", 80001, false], ["themes.getThemes", 80002, false], ["themes.setTheme", 80003, true],
  ["base64.decodeToFile", 90001, true],
  ["system.logoff", 11001, false], ["system.reboot", 11002, false], ["system.shutdown", 11003, false],
  ["system.notification", 11004, true],
  ["mainMenu.setItems", 12001, true], ["mainMenu.updateItem", 12002, true],
  ["registry.writeValue", 13001, true], ["registry.readValue", 13002, true], ["registry.valueExist", 13003, true],
  ["registry.deleteValue", 13004, true], ["registry.keyExist", 13005, true], ["registry.deleteKey", 13006, true],
  ["trayMenu.showIcon", 14001, false], ["trayMenu.hideIcon", 14002, false], ["trayMenu.setItems", 14003, true],
  ["trayMenu.updateItem", 14004, true],
];

const UUID = /^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$/;

test("every function posts its id with its argument or an empty object", () => {
  const { kiv, posted } = page();
  for (const [name, id, takesArgs] of table) {
    const [space, fn] = name.includes(".") ? name.split(".") : [null, name];
    const owner = space ? kiv[space] : kiv;
    const args = { marker: name, nested: { n: 1 } };
    const result = owner[fn](args);
    assert.ok(result instanceof Promise, name);
    const message = posted.at(-1);
    assert.equal(message.id, id, name);
    assert.match(message.uuid, UUID, name);
    if (takesArgs) {
      assert.equal(message.data, args, name + " passes its argument unchanged");
    } else {
      // Objects made inside the page have the page's prototypes: compare their JSON.
      assert.equal(JSON.stringify(message.data), "{}", name + " posts an empty object");
    }
  }
  assert.equal(posted.length, table.length);
});

test("members stand in the library's order", () => {
  const { kiv } = page();
  assert.deepEqual(Object.keys(kiv), ["call", "hello", "isRuntime", "dialogs", "files", "folders", "app", "window",
    "shell", "themes", "base64", "system", "mainMenu", "registry", "trayMenu", "events"]);
  assert.deepEqual(Object.keys(kiv.events),
    ["onCloseQuery", "onMainMenuItemClick", "onTrayMenuItemClick", "onTrayIconClick", "onNotificationClick",
     "onSecondInstance"]);
});

test("hello and isRuntime call through this", async () => {
  const { kiv } = page();
  const calls = [];
  const other = { call: (id, data) => { calls.push([id, data]); return "mine"; } };
  assert.equal(kiv.hello.call(other), "mine");
  assert.equal(kiv.isRuntime.call(other), "mine");
  assert.equal(JSON.stringify(calls), "[[10001,{}],[10002,{}]]");
});

test("a reply settles the promise of its uuid only, and the listener goes with the last", async () => {
  const { kiv, posted, listeners, reply } = page();
  const ok = kiv.files.fileExists({ filePath: "a.txt" });
  const bad = kiv.files.fileExists({});
  assert.equal(listeners.size, 1, "one listener for every call in flight");
  const [first, second] = posted;
  assert.notEqual(first.uuid, second.uuid);

  reply({ uuid: "someone-else", success: true, result: 1 });
  reply("a text posted by someone else");
  reply(null);
  assert.equal(listeners.size, 1, "other messages leave the listener in place");
  // Replies in the other order than the calls.
  reply({ uuid: second.uuid, success: false, result: "Missing filePath" });
  assert.equal(listeners.size, 1);
  reply({ uuid: first.uuid, success: true, result: true });
  assert.equal(await ok, true);
  await assert.rejects(bad, (error) => error === "Missing filePath");
  assert.equal(listeners.size, 0);
});

test("close, enterFullscreen and exitFullscreen settle once posted and leave no listener", async () => {
  const { kiv, posted, listeners } = page();
  for (let i = 0; i < 1000; i++) {
    assert.equal(await kiv.app.enterFullscreen(), undefined);
    assert.equal(await kiv.app.exitFullscreen(), undefined);
  }
  // The id as text names the same function, by the runtime's rule for ids.
  const ids = ["50004", " +50003", "$C351", "xc353", "0XC354", "-$FFFF3CAF"];
  const settled = [];
  for (const id of ids) {
    kiv.call(id).then(() => settled.push(id));
  }
  await new Promise((resolve) => setImmediate(resolve));
  assert.deepEqual(settled, ids);
  assert.equal(await kiv.app.close(), undefined);
  assert.equal(listeners.size, 0);
  assert.deepEqual(posted.slice(0, 3).map((m) => m.id), [50003, 50004, 50003]);
  assert.equal(posted.at(-1).id, 50001);
  assert.equal(JSON.stringify(posted.at(-1).data), "{}");
});

test("a call without an argument posts an empty data object", () => {
  const { kiv, posted } = page();
  for (const [name, id, takesArgs] of table) {
    if (!takesArgs) continue;
    const [space, fn] = name.includes(".") ? name.split(".") : [null, name];
    (space ? kiv[space] : kiv)[fn]();
    assert.equal(posted.at(-1).id, id, name);
    assert.equal(JSON.stringify(posted.at(-1).data), "{}", name);
  }
  kiv.dialogs.selFolder(null);
  assert.equal(JSON.stringify(posted.at(-1).data), "{}");
  kiv.call(20003);
  assert.equal(JSON.stringify(posted.at(-1).data), "{}");
});

test("a message that cannot be posted rejects its call and removes its listener", async () => {
  const { kiv, listeners, webview } = page();
  // The browser's serializer refuses what JSON cannot carry; JSON.stringify stands in.
  webview.postMessage = (message) => JSON.stringify(message);
  const cycle = {};
  cycle.self = cycle;
  for (const args of [{ n: 1n }, cycle]) {
    await assert.rejects(kiv.files.writeTextFile(args), (e) => e instanceof Error && e.name === "TypeError");
    assert.equal(listeners.size, 0);
  }
  await assert.rejects(kiv.call(50003, { n: 1n }), (e) => e.name === "TypeError");
  // Beside a call still waiting, the shared listener stays for that one.
  const waiting = kiv.hello();
  await assert.rejects(kiv.window.setTitle({ n: 2n }), (e) => e.name === "TypeError");
  assert.equal(listeners.size, 1);
  void waiting;
});

test("calls that draw the same uuid are settled by its replies in the order they were made", async () => {
  const { kiv, posted, listeners, reply, webview } = page(() => 0.5);
  const first = kiv.hello();
  const second = kiv.isRuntime();
  const post = webview.postMessage;
  webview.postMessage = (message) => JSON.stringify(message);
  await assert.rejects(kiv.window.setTitle({ n: 1n }), (e) => e.name === "TypeError");
  webview.postMessage = post;
  assert.equal(posted[0].uuid, posted[1].uuid);
  reply({ uuid: posted[0].uuid, success: true, result: "2023.19" });
  reply({ uuid: posted[1].uuid, success: true, result: true });
  const results = [];
  Promise.all([first, second]).then((values) => results.push(...values));
  await new Promise((resolve) => setImmediate(resolve));
  assert.deepEqual(results, ["2023.19", true]);
  assert.equal(listeners.size, 0);
});

test("a call whose reply never comes stays pending", async () => {
  const { kiv, listeners } = page();
  let settled = false;
  kiv.app.inFullscreen().then(() => { settled = true; }, () => { settled = true; });
  await new Promise((resolve) => setImmediate(resolve));
  assert.equal(settled, false);
  assert.equal(listeners.size, 1);
});

test("uuids are random version 4 texts", () => {
  const { kiv, posted } = page();
  for (let i = 0; i < 200; i++) kiv.hello();
  const uuids = new Set(posted.map((m) => m.uuid));
  assert.equal(uuids.size, 200);
  for (const u of uuids) assert.match(u, UUID);
});

test("the default close handler asks the runtime to close; a replaced one does not", () => {
  const { kiv, posted } = page();
  kiv.events.onCloseQuery();
  assert.equal(posted.at(-1).id, 50001);
  kiv.events.onCloseQuery = () => {};
  kiv.events.onCloseQuery();
  assert.equal(posted.length, 1);
  for (const handler of ["onMainMenuItemClick", "onTrayMenuItemClick", "onTrayIconClick", "onNotificationClick"]) {
    assert.equal(kiv.events[handler]("7"), undefined);
  }
  assert.equal(kiv.events.onSecondInstance(["a"], "C:\\"), undefined);
  assert.equal(posted.length, 1);
});

test("the library file is UTF-8 with a byte order mark", () => {
  const bytes = fs.readFileSync(path.join(__dirname, "../../resources/kiv.js"));
  assert.deepEqual([...bytes.subarray(0, 3)], [0xef, 0xbb, 0xbf]);
});
