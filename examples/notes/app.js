// Notes: opens, edits and saves text files. The menu bar and the buttons do the same
// things; closing the window with unsaved changes asks whether to save them first.
const kiv = window.kiv;
const text = document.getElementById("text");
const status = document.getElementById("status");
const ask = document.getElementById("ask");
const TYPES = "Text files|*.txt;All files|*.*";

let path = ""; // the file being edited; "" for a new note
let saved = ""; // its text as last opened or saved

const dirty = () => text.value !== saved;
const nameOf = (file) => file.split("\\").pop() || "Untitled";

// The window's title tells the file and whether it has changes.
async function updateTitle() {
  await kiv.window.setTitle({ title: (dirty() ? "• " : "") + nameOf(path) + " - Notes" });
}

// Files are read by fetching them: pages of the package may fetch file:///C:/... URLs.
async function readFile(file) {
  const url = "file:///" + file.replace(/\\/g, "/").split("/").map(encodeURIComponent).join("/").replace("%3A", ":");
  const response = await fetch(url);
  if (!response.ok) throw new Error(`${file}: ${response.status}`);
  return response.text();
}

async function openPath(file) {
  text.value = saved = (await readFile(file)).replace(/\r\n/g, "\n");
  path = file;
  status.textContent = "Opened " + file;
  await updateTitle();
}

// Saves to the file, asking for a name when there is none yet. false when cancelled.
async function save(askName = false) {
  let file = path;
  if (!file || askName) {
    file = await kiv.dialogs.saveFile({ title: "Save the note", fileName: nameOf(path), fileTypes: TYPES, overwritePrompt: true });
    if (!file) return false;
  }
  await kiv.files.writeTextFile({ filePath: file, contents: text.value });
  path = file;
  saved = text.value;
  status.textContent = "Saved " + file;
  await updateTitle();
  return true;
}

// Before the note is replaced or the window closes: "save", "discard" or "cancel".
function askToSave() {
  if (!dirty()) return Promise.resolve("discard");
  document.getElementById("question").textContent = `Save the changes to ${nameOf(path)}?`;
  ask.showModal();
  return new Promise((resolve) => ask.addEventListener("close", () => resolve(ask.returnValue || "cancel"), { once: true }));
}

// True when the current note may go: saved, or its changes given up.
async function mayLeave() {
  const answer = await askToSave();
  return answer === "discard" || (answer === "save" && (await save()));
}

const actions = {
  async new() {
    if (!(await mayLeave())) return;
    text.value = saved = path = "";
    status.textContent = "";
    await updateTitle();
  },
  async open() {
    if (!(await mayLeave())) return;
    const file = await kiv.dialogs.openFile({ title: "Open a note", fileTypes: TYPES });
    if (file) await openPath(file);
  },
  save: () => save(),
  saveAs: () => save(true),
  async quit() {
    if (await mayLeave()) close();
  },
};
const run = (name) => actions[name]().catch((failure) => { status.textContent = "Failed: " + failure; });

// The menu bar: ids are numbers; a click reports the id as text.
const MENU = [
  { id: 1, caption: "&File", items: [
    { id: 11, caption: "&New\tCtrl+N" },
    { id: 12, caption: "&Open…\tCtrl+O" },
    { id: 13, caption: "&Save\tCtrl+S" },
    { id: 14, caption: "Save &as…" },
    { id: 15, caption: "-" },
    { id: 16, caption: "&Quit" },
  ] },
];
const BY_ID = { 11: "new", 12: "open", 13: "save", 14: "saveAs", 16: "quit" };
kiv.events.onMainMenuItemClick = (id) => { if (BY_ID[id]) run(BY_ID[id]); };

for (const name of ["new", "open", "save", "saveAs"]) {
  document.getElementById(name).addEventListener("click", () => run(name));
}
document.addEventListener("keydown", (event) => {
  const name = event.ctrlKey && { n: "new", o: "open", s: "save" }[event.key.toLowerCase()];
  if (name) {
    event.preventDefault();
    run(name);
  }
});
text.addEventListener("input", () => updateTitle());

// The close box: the window stays until the page calls app.close(). The runtime calls
// the handler once more as the window goes; by then there is nothing to ask.
let asking = false, leaving = false;
function close() {
  leaving = true;
  kiv.app.close();
}
kiv.events.onCloseQuery = async () => {
  if (asking || leaving) return;
  asking = true;
  try {
    if (await mayLeave()) close();
  } finally {
    asking = false;
  }
};

// What the page can do, for scripts and tests that drive it.
window.notes = { openPath, save, dirty };

(async () => {
  await kiv.mainMenu.setItems({ items: JSON.stringify(MENU) });
  await updateTitle();
  text.focus();
})().catch((failure) => { status.textContent = "Failed: " + failure; })
  .finally(() => { document.documentElement.dataset.ready = "1"; });
