// scripts/preview's work: runs a packaged executable (made with the stand-in as its
// browser loader) under Wine with Chromium behind it, waits until the page has settled,
// writes Chromium's screenshot of the page, then closes the window as a user would.
//   node preview.js --prefix DIR [--log FILE] App.exe out.png
"use strict";
const fs = require("node:fs");
const path = require("node:path");
const { Session } = require("./session");

async function main() {
  const argv = process.argv.slice(2);
  const option = (name) => { const i = argv.indexOf(name); return i >= 0 ? argv.splice(i, 2)[1] : undefined; };
  const prefix = option("--prefix");
  const log = option("--log");
  const [exe, out] = argv;
  if (!prefix || !exe || !out) throw new Error("usage: preview.js --prefix DIR [--log FILE] App.exe out.png");
  const session = new Session({ exe, prefix, log });
  try {
    await session.start();
    // A page that marks itself ready (data-ready on its root) is waited for; others get
    // a moment for their scripts and the runtime's answers.
    const ready = await session.relay.poll("document.documentElement.dataset.ready === '1'", 20000);
    if (!ready) await new Promise((r) => setTimeout(r, 3000));
    fs.mkdirSync(path.dirname(path.resolve(out)), { recursive: true });
    fs.writeFileSync(out, await session.relay.screenshot());
    for (const error of session.relay.errors) console.error(`preview: the page reported: ${error}`);
    session.relay.close();
    if (!(await session.waitExit(20000))) console.error("preview: the app did not close when asked; ended it");
  } finally {
    await session.stop();
  }
}

main().catch((error) => { console.error(`preview: ${error.message}`); process.exit(1); });
