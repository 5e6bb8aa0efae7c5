// The first app: a few native calls with await, a menu bar, a tray icon, and the close box.
const kiv = window.kiv;
const answers = document.getElementById("answers");
const clicked = document.getElementById("clicked");

// Shows what a call answered (or why it failed) as one line of the page.
function show(what, answer) {
  const line = document.createElement("li");
  line.innerHTML = "<code></code> → <code></code>";
  line.children[0].textContent = what;
  line.children[1].textContent = JSON.stringify(answer);
  answers.append(line);
}

async function start() {
  // Every function returns a promise: await it. A failure rejects with the runtime's text.
  show("hello()", await kiv.hello());
  show("window.setTitle()", await kiv.window.setTitle({ title: "My first Folio app: ready" }));
  show("window.getTitle()", await kiv.window.getTitle());
  try {
    await kiv.files.fileExists({});
  } catch (failure) {
    show("files.fileExists({}) failed", failure);
  }

  // The menu bar: items with ids; a click calls onMainMenuItemClick with the id as text.
  const menu = [
    { id: 1, caption: "&File", items: [
      { id: 11, caption: "&Hello" },
      { id: 12, caption: "-" },
      { id: 13, caption: "&Quit" },
    ] },
  ];
  show("mainMenu.setItems()", await kiv.mainMenu.setItems({ items: JSON.stringify(menu) }));

  // The tray: an icon, and a menu of its own on the right button.
  show("trayMenu.showIcon()", await kiv.trayMenu.showIcon());
  const tray = [{ id: 21, caption: "Show the window" }, { id: 22, caption: "Quit" }];
  show("trayMenu.setItems()", await kiv.trayMenu.setItems({ items: JSON.stringify(tray) }));
}

kiv.events.onMainMenuItemClick = async (id) => {
  if (id === "11") clicked.textContent = "Hello from Folio " + (await kiv.hello());
  if (id === "13") kiv.app.close();
};
kiv.events.onTrayMenuItemClick = (id) => {
  if (id === "21") kiv.window.setState({ state: "normal" });
  if (id === "22") kiv.app.close();
};
kiv.events.onTrayIconClick = () => kiv.window.setState({ state: "normal" });

// The close box asks the page first; app.close() lets the window close.
kiv.events.onCloseQuery = () => kiv.app.close();

start().finally(() => { document.documentElement.dataset.ready = "1"; });
