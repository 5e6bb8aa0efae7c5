// What the browser tests read back from the page: each check's outcome in
// window.folioResults, then data-ready on the root. The bridge messages this page
// posts are recorded too, so the test can find their answers in the runtime's log.
import { line, depth } from "./lib/format.mjs";

const results = (window.folioResults = { moduleDepth: depth, posted: [] });
const post = window.chrome.webview.postMessage;
window.chrome.webview.postMessage = (message) => { results.posted.push(message); post(message); };

const settle = (promise, ms = 5000) =>
  Promise.race([
    promise.then((value) => ({ ok: true, value }), (error) => ({ ok: false, value: String(error) })),
    new Promise((resolve) => setTimeout(() => resolve({ ok: false, value: "no answer" }), ms)),
  ]);

async function checks() {
  results.json = await (await fetch("data.json")).json();
  const wasm = await (await fetch("add.wasm")).arrayBuffer();
  const { instance } = await WebAssembly.instantiate(wasm);
  results.wasmAdd = instance.exports.add(2, 3);
  results.wasmStreaming = await settle(WebAssembly.compileStreaming(fetch("add.wasm"))
    .then((module) => WebAssembly.instantiate(module)).then((i) => i.exports.add(20, 22)));
  // The whole sound, then ten bytes of it, then the sound played from its middle.
  const tone = new Uint8Array(await (await fetch("media/tone.wav")).arrayBuffer());
  const part = await fetch("media/tone.wav", { headers: { Range: "bytes=1000-1009" } });
  const partBytes = new Uint8Array(await part.arrayBuffer());
  results.range = {
    status: part.status,
    contentRange: part.headers.get("Content-Range"),
    same: partBytes.length === 10 && partBytes.every((b, i) => b === tone[1000 + i]),
  };
  results.audio = await settle(new Promise((resolve, reject) => {
    const audio = new Audio("media/tone.wav");
    audio.preload = "auto";
    audio.onerror = () => reject(new Error(`media error ${audio.error && audio.error.code}`));
    audio.onloadedmetadata = () => { audio.currentTime = audio.duration / 2; };
    audio.onseeked = () => resolve({ duration: Math.round(audio.duration), at: Math.round(audio.currentTime) });
  }), 20000);
  await document.fonts.load('24px "Packaged"');
  results.font = document.fonts.check('24px "Packaged"');
  const logo = document.getElementById("logo");
  await logo.decode();
  results.image = logo.naturalWidth;

  // One function of each family, as the page calls them.
  const kiv = window.kiv;
  const calls = {
    hello: () => kiv.hello(),
    isRuntime: () => kiv.isRuntime(),
    fileExists: () => kiv.files.fileExists({ filePath: "C:\\Windows\\win.ini" }),
    getTempDir: () => kiv.folders.getTempDir(),
    getArgs: () => kiv.app.getArgs(),
    getSize: () => kiv.window.getSize(),
    shell: () => kiv.shell.windows(),
    themes: () => kiv.themes.getThemes(),
    mainMenu: () =>
      kiv.mainMenu.setItems({ items: JSON.stringify([{ id: 1, caption: "File", items: [{ id: 2, caption: "Quit" }] }]) }),
  };
  results.calls = Object.fromEntries(
    await Promise.all(Object.entries(calls).map(async ([name, call]) => [name, await settle(call())])));
  document.title = "Titre changé ✓ 世界";
  results.titleBack = await settle(new Promise((r) => setTimeout(r, 0)).then(() => kiv.window.getTitle()));
}

checks().then(
  () => { document.getElementById("report").textContent = Object.entries(results).map(([k, v]) => line(k, v)).join("\n"); },
  (error) => { results.failure = String(error); console.error("checks failed: " + error); },
).finally(() => { document.documentElement.dataset.ready = "1"; });

// The window's close box: the runtime asks the page, the page lets it close.
results.closeQueries = 0;
window.kiv.events.onCloseQuery = () => { results.closeQueries++; window.kiv.app.close(); };
