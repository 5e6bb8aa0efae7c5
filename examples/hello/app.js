// The hello example: a few calls through window.kiv, with their results shown on the page.
const output = document.getElementById("output");
const show = (text) => { output.textContent = text; };
const fail = (error) => show("Failed: " + error);

// Answers of the runtime, asked for as the page opens. Each row shows what came back,
// or why not (a function this runtime lacks may never answer); the root gets data-ready
// once every row has its text.
const facts = [
  ["Runtime version", () => window.kiv.hello()],
  ["Running in the runtime", () => window.kiv.isRuntime().then((yes) => (yes ? "yes" : "no"))],
  ["Executable's folder", () => window.kiv.folders.getAppExecutableDir()],
  ["C:\\Windows\\win.ini exists", () =>
    window.kiv.files.fileExists({ filePath: "C:\\Windows\\win.ini" }).then((yes) => (yes ? "yes" : "no"))],
  ["Window title", () => window.kiv.window.getTitle()],
  ["Window size", () => window.kiv.window.getSize().then((s) => s.width + " × " + s.height)],
  ["Themes", () => window.kiv.themes.getThemes().then((list) => list.join(", "))],
];
const table = document.getElementById("facts");
Promise.allSettled(facts.map(async ([name, ask]) => {
  const row = table.insertRow();
  row.insertCell().textContent = name;
  const cell = row.insertCell();
  cell.textContent = "…";
  const silence = new Promise((_, reject) => setTimeout(() => reject("no answer"), 5000));
  try {
    cell.textContent = String(await Promise.race([ask(), silence]));
  } catch (error) {
    cell.textContent = "not available (" + error + ")";
    cell.className = "missing";
  }
})).then(() => { document.documentElement.dataset.ready = "1"; });

document.getElementById("version").addEventListener("click", () => {
  window.kiv.hello().then((version) => show("Folio runtime " + version), fail);
});

document.getElementById("save").addEventListener("click", async () => {
  try {
    const path = await window.kiv.dialogs.saveFile({
      title: "Save a note",
      fileName: "note.txt",
      fileTypes: "Text files|*.txt;All files|*.*",
      overwritePrompt: true,
    });
    if (!path) return show("Cancelled.");
    await window.kiv.files.writeTextFile({ filePath: path, contents: "Hello from Folio!\n" });
    show("Saved to " + path);
  } catch (error) {
    fail(error);
  }
});

document.getElementById("fullscreen").addEventListener("click", async () => {
  try {
    // Entering and leaving full screen do not answer: their promises stay pending.
    if (await window.kiv.app.inFullscreen()) {
      window.kiv.app.exitFullscreen();
    } else {
      window.kiv.app.enterFullscreen();
    }
  } catch (error) {
    fail(error);
  }
});

// Let the window close when the user asks.
window.kiv.events.onCloseQuery = () => window.kiv.app.close();
