// Headless Chromium driven over the DevTools protocol on --remote-debugging-pipe:
// NUL-separated JSON on file descriptors 3 (to the browser) and 4 (from it), so no
// client library is needed. One page target, attached in flat mode.
"use strict";
const { spawn } = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");

function findChromium() {
  for (const name of [process.env.FOLIO_CHROMIUM, "/usr/bin/chromium", "/usr/bin/chromium-browser"]) {
    if (name && fs.existsSync(name)) return name;
  }
  return null;
}

class Chromium {
  // width and height: the page's viewport in CSS pixels.
  constructor({ width = 900, height = 640 } = {}) {
    this.profile = fs.mkdtempSync(path.join(os.tmpdir(), "folio-chromium-"));
    const args = [
      "--headless", "--remote-debugging-pipe", `--user-data-dir=${this.profile}`,
      "--no-first-run", "--no-default-browser-check", "--disable-gpu", "--hide-scrollbars",
      "--disable-extensions", "--disable-background-networking", "--disable-sync", "--mute-audio",
      `--window-size=${width},${height}`, "about:blank",
    ];
    if (process.getuid && process.getuid() === 0) args.unshift("--no-sandbox");
    const binary = findChromium();
    if (!binary) throw new Error("no Chromium found (scripts/setup installs Debian's chromium)");
    this.child = spawn(binary, args, { stdio: ["ignore", "ignore", "pipe", "pipe", "pipe"] });
    this.stderr = "";
    this.child.stderr.on("data", (d) => { this.stderr = (this.stderr + d).slice(-20000); });
    this.exited = new Promise((resolve) => this.child.on("exit", resolve));
    this.nextId = 1;
    this.pending = new Map();
    this.listeners = [];
    let buffer = Buffer.alloc(0);
    this.child.stdio[4].on("data", (chunk) => {
      buffer = Buffer.concat([buffer, chunk]);
      for (let end; (end = buffer.indexOf(0)) >= 0; buffer = buffer.subarray(end + 1)) {
        this.dispatch(JSON.parse(buffer.subarray(0, end).toString("utf8")));
      }
    });
    this.child.stdio[3].on("error", () => {});
  }

  dispatch(message) {
    if (message.id !== undefined) {
      const waiter = this.pending.get(message.id);
      this.pending.delete(message.id);
      if (!waiter) return;
      if (message.error) waiter.reject(new Error(`${waiter.method}: ${message.error.message}`));
      else waiter.resolve(message.result);
      return;
    }
    for (const listener of this.listeners) listener(message.method, message.params || {}, message.sessionId);
  }

  // A protocol command; sessionId addresses an attached target.
  send(method, params = {}, sessionId = undefined) {
    const id = this.nextId++;
    const message = { id, method, params };
    if (sessionId) message.sessionId = sessionId;
    return new Promise((resolve, reject) => {
      this.pending.set(id, { resolve, reject, method });
      this.child.stdio[3].write(JSON.stringify(message) + "\0");
    });
  }

  on(listener) { this.listeners.push(listener); }

  // The first page target, attached; later commands go to it through page.send.
  async page() {
    const { targetInfos } = await this.send("Target.getTargets");
    let target = targetInfos.find((t) => t.type === "page");
    if (!target) target = { targetId: (await this.send("Target.createTarget", { url: "about:blank" })).targetId };
    const { sessionId } = await this.send("Target.attachToTarget", { targetId: target.targetId, flatten: true });
    return {
      sessionId,
      targetId: target.targetId,
      send: (method, params) => this.send(method, params, sessionId),
    };
  }

  async close() {
    try {
      await Promise.race([this.send("Browser.close"), new Promise((r) => setTimeout(r, 3000))]);
    } catch { /* already gone */ }
    if (this.child.exitCode === null) this.child.kill("SIGKILL");
    await this.exited;
    // Its helper processes may still be writing to the profile for a moment.
    try {
      fs.rmSync(this.profile, { recursive: true, force: true, maxRetries: 10, retryDelay: 100 });
    } catch { /* a temporary folder left behind */ }
  }
}

module.exports = { Chromium, findChromium };
