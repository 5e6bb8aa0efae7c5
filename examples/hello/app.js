// The hello example: a few calls through window.kiv, with their results shown on the page.
const output = document.getElementById("output");
const show = (text) => { output.textContent = text; };
const fail = (error) => show("Failed: " + error);

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
