// Tray utility: an icon in the notification area with its menu, the runtime's themes,
// notifications, and the window shown, hidden, kept on top.
const kiv = window.kiv;
const themeList = document.getElementById("theme");
const onTop = document.getElementById("onTop");

// Events as they come, newest first.
function note(text) {
  const item = document.createElement("li");
  item.textContent = new Date().toLocaleTimeString() + "  " + text;
  document.getElementById("events").prepend(item);
}

// What the runtime says about the window and the app.
async function showState() {
  const rows = [
    ["Theme", await kiv.themes.getTheme()],
    ["Window state", await kiv.window.getState()],
    ["Window style", await kiv.window.getStyle()],
    ["Window frame", await kiv.window.getBorder()],
  ];
  const table = document.getElementById("state");
  table.replaceChildren(...rows.map(([name, value]) => {
    const row = document.createElement("tr");
    row.append(Object.assign(document.createElement("td"), { textContent: name }),
               Object.assign(document.createElement("td"), { textContent: value }));
    return row;
  }));
}

// Tray menu ids: 1 show, 2 hide, 3 always on top, 4 notify, 5 quit, 100 + n the nth theme.
let themes = [];
async function setTrayMenu() {
  const active = await kiv.themes.getTheme();
  const menu = [
    { id: 1, caption: "Show" },
    { id: 2, caption: "Hide" },
    { id: 0, caption: "Theme", items: themes.map((name, n) => ({ id: 100 + n, caption: (name === active ? "● " : "") + name })) },
    { id: 3, caption: (onTop.checked ? "● " : "") + "Always on top" },
    { id: 4, caption: "Notify me" },
    { id: 5, caption: "-" },
    { id: 6, caption: "Quit" },
  ];
  return kiv.trayMenu.setItems({ items: JSON.stringify(menu) });
}

async function setTheme(name) {
  const switched = await kiv.themes.setTheme({ name });
  note(`themes.setTheme(${name}) → ${switched}`);
  themeList.value = await kiv.themes.getTheme();
  await setTrayMenu();
  await showState();
}

async function setOnTop(yes) {
  onTop.checked = yes;
  await kiv.window.setStyle({ style: yes ? "ontop" : "normal" });
  await setTrayMenu();
  await showState();
}

// While the tray icon shows, "minimized" hides the window and "normal" brings it back.
async function show(visible) {
  await kiv.window.setState({ state: visible ? "normal" : "minimized" });
  await showState();
}

async function notify() {
  const shown = await kiv.system.notification({ name: "hello", title: "Tray utility", body: "Click me to open the window." });
  note(shown ? "Notification shown" : "No notification service on this system (system.notification answered false)");
  return shown;
}

let quitting = false;
function quit() {
  quitting = true;
  kiv.app.close();
}

kiv.events.onTrayIconClick = () => show(true);
kiv.events.onTrayMenuItemClick = (id) => {
  const n = Number(id);
  if (n >= 100) return setTheme(themes[n - 100]);
  return { 1: () => show(true), 2: () => show(false), 3: () => setOnTop(!onTop.checked), 4: notify, 6: quit }[n]?.();
};
kiv.events.onNotificationClick = (name) => {
  note(`Notification "${name}" clicked`);
  show(true);
};
// The close box hides the window to the tray; only Quit closes the app.
kiv.events.onCloseQuery = () => {
  if (quitting) return kiv.app.close();
  note("Closed to the tray");
  show(false);
};

themeList.addEventListener("change", () => setTheme(themeList.value));
onTop.addEventListener("change", () => setOnTop(onTop.checked));
document.getElementById("notify").addEventListener("click", notify);
document.getElementById("hide").addEventListener("click", () => show(false));
document.getElementById("quit").addEventListener("click", quit);

// What the page can do, for scripts and tests that drive it.
window.tray = { setTheme, setOnTop, notify, show, quit, answers: {} };

(async () => {
  themes = await kiv.themes.getThemes();
  themeList.replaceChildren(...themes.map((name) => new Option(name, name)));
  themeList.value = await kiv.themes.getTheme();
  window.tray.answers.showIcon = await kiv.trayMenu.showIcon();
  window.tray.answers.setItems = await setTrayMenu();
  note(window.tray.answers.showIcon ? "In the notification area" : "The system took no tray icon");
  await showState();
})().catch((failure) => note("Failed: " + failure))
  .finally(() => { document.documentElement.dataset.ready = "1"; });
