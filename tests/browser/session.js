// A packaged executable run under Wine with the relay behind its stand-in browser:
// the relay started first, then scripts/wine-run with FOLIO_STANDIN_RELAY pointing at it.
// Used by the browser tests and by scripts/preview.
"use strict";
const { spawn, spawnSync } = require("node:child_process");
const fs = require("node:fs");
const path = require("node:path");
const { Relay } = require("./relay");

const ROOT = path.resolve(__dirname, "../..");
const WINE_RUN = path.join(ROOT, "scripts/wine-run");

// A Unix path as Windows programs under Wine take it.
function winePath(p) { return "Z:" + path.resolve(p).replace(/\//g, "\\"); }

// Runs a Windows console program to its end under the prefix; its exit code and output.
function wineRun(prefix, program, args) {
  const run = spawnSync(WINE_RUN, ["--prefix", prefix, program, ...args], { encoding: "utf8" });
  return { code: run.status, output: (run.stdout || "") + (run.stderr || "") };
}

// Packages `appDir` with the runtime and the stand-in as its browser loader.
function pack({ prefix, folioPack, runtime, standin, appDir, output }) {
  const result = wineRun(prefix, folioPack, ["build", winePath(appDir), "--runtime", winePath(runtime),
    "--loader", winePath(standin), "-o", winePath(output)]);
  if (result.code !== 0 || !fs.existsSync(output)) throw new Error(`folio-pack failed:\n${result.output}`);
}

class Session {
  // exe: the packaged executable; prefix: a Wine prefix made by wine-run --init;
  // log: the stand-in's log file (optional).
  constructor({ exe, prefix, log, width, height, args = [] }) {
    Object.assign(this, { exe, prefix, log, args });
    this.relay = new Relay({ width, height });
    this.output = "";
  }

  async start() {
    const address = await this.relay.start();
    const env = { ...process.env, FOLIO_STANDIN_RELAY: address };
    if (this.log) env.FOLIO_STANDIN_LOG = winePath(this.log);
    // A group of its own, so that the run can be ended with everything it started.
    this.process = spawn(WINE_RUN, ["--prefix", this.prefix, this.exe, ...this.args], { env, detached: true, stdio: ["ignore", "pipe", "pipe"] });
    this.process.stdout.on("data", (d) => { this.output += d; });
    this.process.stderr.on("data", (d) => { this.output += d; });
    this.exited = new Promise((resolve) => this.process.on("exit", (code) => { this.exitCode = code; resolve(code); }));
    const ended = this.exited.then(() => { throw new Error("the runtime ended before its page loaded"); });
    ended.catch(() => {}); // a later end is the test's business
    try {
      await Promise.race([ended, this.relay.until(() => this.relay.standin, 60000,
        "the stand-in to connect (is the executable packaged with the stand-in as its loader, and the win64 runtime?)")]);
      await Promise.race([ended, this.relay.until(() => this.relay.loaded, 60000, "the first page to load")]);
    } catch (error) {
      const log = this.logLines().slice(-15).map((l) => JSON.stringify(l).slice(0, 300)).join("\n");
      error.message += `\nthe runtime's output:\n${this.output}\nthe stand-in's log, last lines:\n${log}\nthe page's troubles: ${this.relay.errors.join("; ")}`;
      throw error;
    }
    return this;
  }

  // The stand-in's log lines, parsed.
  logLines() {
    if (!this.log || !fs.existsSync(this.log)) return [];
    return fs.readFileSync(this.log, "utf8").split("\n").filter(Boolean).map((l) => JSON.parse(l));
  }

  // Waits for the runtime to end by itself; false when it did not within `ms`.
  async waitExit(ms = 30000) {
    return Promise.race([this.exited.then(() => true), new Promise((r) => setTimeout(() => r(false), ms))]);
  }

  async stop() {
    if (this.exitCode === undefined && this.process) {
      try { process.kill(-this.process.pid, "SIGKILL"); } catch { /* gone */ }
      await this.exited;
    }
    await this.relay.stop();
  }
}

module.exports = { Session, pack, winePath, wineRun, ROOT };
