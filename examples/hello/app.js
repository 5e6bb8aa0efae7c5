// The hello example: a few calls through window.kiv, with their results shown on the page.
const output = document.getElementById("output");
const show = (text) => { output.textContent = text; };
const fail = (error) => show("Failed: " + error);

document.getElementById("version").addEventListener("click", () => {
  window.kiv.app.getVersion().then((v) => show("Runtime " + v), fail);
});

document.getElementById("save").addEventListener("click", async () => {
  try {
    const path = await window.kiv.dialogs.saveFileDialog({ title: "Save a note", fileName: "note.txt" });
    if (!path) return show("Cancelled.");
    await window.kiv.files.writeTextFile({ filePath: path, text: "Hello from Folio!\n" });
    show("Saved to " + path);
  } catch (error) {
    fail(error);
  }
});

document.getElementById("fullscreen").addEventListener("click", () => {
  window.kiv.window.toggleFullscreen().then(() => show("Toggled full screen."), fail);
});

window.kiv.events.onCloseQuery = () => true;
