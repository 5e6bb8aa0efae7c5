// The host side of the stand-in's relay mode: a loopback TCP server the stand-in (in
// the runtime, under Wine) connects to, and a headless Chromium page behind it. The
// runtime's calls become DevTools commands; Chromium's requests, page messages, titles
// and loads become the stand-in's WebView2 events. Every request of the page is paused
// and answered with exactly what the runtime's WebResourceRequested handler gave.
"use strict";
const net = require("node:net");
const { Chromium } = require("./chromium");

// The page's window.chrome.webview, backed by two bindings. The source of a message is
// never taken from the page: the relay finds it from the frame that called.
const SHIM = `(() => {
  const post = globalThis.folioRelayPost, title = globalThis.folioRelayTitle;
  delete globalThis.folioRelayPost; delete globalThis.folioRelayTitle;
  if (window.top !== window) return;
  const target = new EventTarget();
  const webview = {
    postMessage: (message) => post(JSON.stringify(message)),
    addEventListener: (type, listener, options) => target.addEventListener(type, listener, options),
    removeEventListener: (type, listener, options) => target.removeEventListener(type, listener, options),
  };
  Object.defineProperty(window, "chrome", { value: Object.assign(window.chrome || {}, { webview }), configurable: true });
  Object.defineProperty(window, "__folioRelayDeliver", {
    value: (json) => target.dispatchEvent(new MessageEvent("message", { data: JSON.parse(json) })),
  });
  let last = null;
  const report = () => {
    const now = document.title || location.href;
    if (now !== last) { last = now; title(now); }
  };
  new MutationObserver(report).observe(document, { subtree: true, childList: true, characterData: true });
  document.addEventListener("DOMContentLoaded", report);
})();`;

// DevTools resource types as WebView2's COREWEBVIEW2_WEB_RESOURCE_CONTEXT numbers.
const CONTEXTS = {
  Document: 1, Stylesheet: 2, Image: 3, Media: 4, Font: 5, Script: 6, XHR: 7, Fetch: 8, TextTrack: 9,
  EventSource: 10, WebSocket: 11, Manifest: 12, SignedExchange: 13, Ping: 14, CSPViolationReport: 15,
};

class Relay {
  constructor({ width = 900, height = 640, log = () => {} } = {}) {
    this.width = width;
    this.height = height;
    this.log = log;
    this.errors = [];     // console errors, exceptions, failed loads: the page's troubles
    this.served = [];     // {url, type, status, headers, mimeType}: what was answered and how
    this.messages = [];   // {source, json}: what the page posted
    this.titles = [];
    this.posted = [];     // what the runtime posted to the page
    this.waiters = [];
    this.standin = null;
    this.closed = false;
  }

  // Starts Chromium and the server; the stand-in's address to give in FOLIO_STANDIN_RELAY.
  async start() {
    this.chromium = new Chromium({ width: this.width, height: this.height });
    this.page = await this.chromium.page();
    this.mainFrame = this.page.targetId;
    this.frames = new Map();   // frame id -> URL
    this.contexts = new Map(); // execution context id -> frame id
    this.paused = new Map();   // relay request id -> {requestId, url}
    this.nextRequest = 1;
    this.chromium.on((method, params, sessionId) => {
      if (sessionId === this.page.sessionId) this.fromChromium(method, params);
      // The runtime decides about new windows (NewWindowRequested); Chromium's own popup
      // would load unserved, so it goes at once.
      if (method === "Target.targetCreated" && params.targetInfo.openerId === this.page.targetId) {
        this.chromium.send("Target.closeTarget", { targetId: params.targetInfo.targetId }).catch(() => {});
      }
    });
    await this.chromium.send("Target.setDiscoverTargets", { discover: true });
    const send = this.page.send;
    await send("Page.enable");
    await send("Runtime.enable");
    await send("Log.enable");
    await send("Network.enable");
    await send("Runtime.addBinding", { name: "folioRelayPost" });
    await send("Runtime.addBinding", { name: "folioRelayTitle" });
    await send("Page.addScriptToEvaluateOnNewDocument", { source: SHIM });
    await send("Fetch.enable", { patterns: [{ urlPattern: "*" }] });
    await send("Emulation.setDeviceMetricsOverride", { width: this.width, height: this.height, deviceScaleFactor: 1, mobile: false });
    this.chain = Promise.resolve();
    this.server = net.createServer((socket) => this.accept(socket));
    await new Promise((resolve) => this.server.listen(0, "127.0.0.1", resolve));
    return `127.0.0.1:${this.server.address().port}`;
  }

  accept(socket) {
    if (this.standin) { socket.destroy(); return; }
    this.standin = socket;
    socket.setNoDelay(true);
    let pending = "";
    socket.setEncoding("utf8");
    socket.on("data", (chunk) => {
      pending += chunk;
      for (let end; (end = pending.indexOf("\n")) >= 0; pending = pending.slice(end + 1)) {
        const line = pending.slice(0, end);
        let message;
        try { message = JSON.parse(line); } catch { this.errors.push(`relay: unreadable line ${line.slice(0, 200)}`); continue; }
        this.fromStandin(message);
      }
    });
    socket.on("error", () => {});
    socket.on("close", () => { this.closed = true; this.notify(); });
  }

  toStandin(message) {
    if (this.standin && !this.standin.destroyed) this.standin.write(JSON.stringify(message) + "\n");
  }

  // Runs in order with the other calls of the runtime: a script injected before a
  // navigation is in place when the document starts.
  inOrder(work) {
    this.chain = this.chain.then(work).catch((error) => this.errors.push(`relay: ${error.message}`));
  }

  fromStandin(message) {
    this.log("standin", message.op);
    const send = this.page.send;
    switch (message.op) {
      case "hello": this.pid = message.pid; break;
      case "inject": this.inOrder(() => send("Page.addScriptToEvaluateOnNewDocument", { source: message.script })); break;
      case "navigate": this.inOrder(() => send("Page.navigate", { url: message.url })); break;
      case "execute":
        this.inOrder(async () => {
          const { result, exceptionDetails } = await send("Runtime.evaluate", { expression: message.script, returnByValue: true });
          if (exceptionDetails) this.errors.push(`script of the runtime: ${exceptionDetails.exception?.description || exceptionDetails.text}`);
          this.toStandin({ op: "executed", id: message.id, result: JSON.stringify(result?.value ?? null) });
        });
        break;
      case "post":
        this.posted.push(message.json);
        this.inOrder(() => send("Runtime.evaluate", { expression: `window.__folioRelayDeliver(${JSON.stringify(message.json)})` }));
        break;
      case "settings":
        if (message.name === "IsScriptEnabled") {
          this.inOrder(() => send("Emulation.setScriptExecutionDisabled", { value: !message.value }));
        }
        break;
      case "bounds":
        if (message.width > 0 && message.height > 0) {
          this.width = message.width;
          this.height = message.height;
          this.inOrder(() => send("Emulation.setDeviceMetricsOverride", { width: message.width, height: message.height, deviceScaleFactor: 1, mobile: false }));
        }
        break;
      case "response": this.answer(message); break;
      case "no-response": this.unanswered(message); break;
      case "capture":
        this.inOrder(async () => {
          const { data } = await send("Page.captureScreenshot", { format: "png" });
          this.toStandin({ op: "captured", id: message.id, png: data });
        });
        break;
      case "new-window": (this.newWindows ||= []).push(message); break;
      case "closed": this.controllerClosed = true; break;
      default: break;
    }
    this.notify();
  }

  answer({ id, status, reason, headers, body }) {
    const request = this.paused.get(id);
    if (!request) return;
    this.paused.delete(id);
    const responseHeaders = headers.map((line) => {
      const colon = line.indexOf(":");
      return { name: line.slice(0, colon).trim(), value: line.slice(colon + 1).trim() };
    });
    this.served.push({ url: request.url, type: request.type, status, headers: responseHeaders });
    const fulfil = { requestId: request.requestId, responseCode: status, responseHeaders, body };
    if (reason) fulfil.responsePhrase = reason;
    this.page.send("Fetch.fulfillRequest", fulfil).catch((error) => this.errors.push(`fulfil ${request.url}: ${error.message}`));
  }

  // Not answered by the runtime: the browser's own handling. Nothing on this machine may
  // be read through file:///, so those fail as a missing file would; others go out.
  unanswered({ id }) {
    const request = this.paused.get(id);
    if (!request) return;
    this.paused.delete(id);
    const send = this.page.send;
    if (!request.url.toLowerCase().startsWith("file:")) {
      send("Fetch.continueRequest", { requestId: request.requestId }).catch(() => {});
      return;
    }
    send("Fetch.failRequest", { requestId: request.requestId, errorReason: "FileNotFound" }).catch(() => {});
    if (request.navigation) {
      // Chromium's error page fires no load event: the navigation ends here.
      this.loaded = (this.loaded || 0) + 1;
      this.toStandin({ op: "loaded", url: request.url });
    }
  }

  fromChromium(method, params) {
    switch (method) {
      case "Fetch.requestPaused": {
        const id = this.nextRequest++;
        const url = params.request.url;
        const navigation = params.resourceType === "Document" && params.frameId === this.mainFrame;
        this.paused.set(id, { requestId: params.requestId, url, type: params.resourceType, navigation });
        // Media elements ask for parts of a file: the Range header goes on to the runtime.
        const headers = params.request.headers || {};
        const rangeName = Object.keys(headers).find((name) => name.toLowerCase() === "range");
        const message = { op: "request", id, url, context: CONTEXTS[params.resourceType] ?? 16, navigation };
        if (rangeName) message.range = headers[rangeName];
        this.toStandin(message);
        break;
      }
      case "Page.frameNavigated": this.frames.set(params.frame.id, params.frame.url); break;
      case "Runtime.executionContextCreated":
        this.contexts.set(params.context.id, params.context.auxData?.frameId);
        break;
      case "Runtime.bindingCalled": {
        const frame = this.contexts.get(params.executionContextId);
        if (frame !== this.mainFrame) break; // only the top document has a webview to post to
        const source = this.frames.get(frame) || "";
        if (params.name === "folioRelayPost") {
          this.messages.push({ source, json: params.payload });
          this.toStandin({ op: "message", source, json: params.payload });
        } else if (params.name === "folioRelayTitle") {
          this.titles.push(params.payload);
          this.toStandin({ op: "title", title: params.payload });
        }
        break;
      }
      case "Page.loadEventFired":
        this.loaded = (this.loaded || 0) + 1;
        this.toStandin({ op: "loaded", url: this.frames.get(this.mainFrame) || "" });
        break;
      case "Page.windowOpen": this.toStandin({ op: "new-window", uri: params.url }); break;
      case "Network.responseReceived":
        for (const entry of this.served) {
          if (entry.url === params.response.url && !entry.mimeType) entry.mimeType = params.response.mimeType;
        }
        break;
      case "Network.loadingFailed":
        if (!params.canceled) this.errors.push(`load failed: ${params.type} ${params.errorText} ${params.blockedReason || ""}`.trim());
        break;
      case "Runtime.exceptionThrown": {
        const d = params.exceptionDetails;
        this.errors.push(`exception: ${d.exception?.description || d.text} (${d.url || ""}:${d.lineNumber})`);
        break;
      }
      case "Runtime.consoleAPICalled":
        if (params.type === "error" || params.type === "assert") {
          this.errors.push(`console.${params.type}: ${params.args.map((a) => a.value ?? a.description).join(" ")}`);
        }
        break;
      case "Log.entryAdded":
        if (params.entry.level === "error") this.errors.push(`${params.entry.source}: ${params.entry.text} ${params.entry.url || ""}`.trim());
        break;
      default: break;
    }
    this.notify();
  }

  notify() {
    const waiting = this.waiters;
    this.waiters = [];
    for (const w of waiting) if (!w.check()) this.waiters.push(w);
  }

  // Resolves once `condition()` holds; rejects after `ms` (a guard against a hang).
  until(condition, ms = 60000, what = "a condition") {
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error(`relay: gave up waiting for ${what}`)), ms);
      timer.unref();
      const check = () => {
        const value = condition();
        if (value) { clearTimeout(timer); resolve(value); return true; }
        return false;
      };
      if (!check()) this.waiters.push({ check });
    });
  }

  // An expression evaluated in the page (its promise awaited); its value.
  async evaluate(expression) {
    const { result, exceptionDetails } = await this.page.send("Runtime.evaluate", { expression, awaitPromise: true, returnByValue: true });
    if (exceptionDetails) throw new Error(`in the page: ${exceptionDetails.exception?.description || exceptionDetails.text}`);
    return result.value;
  }

  // Evaluates `expression` until it is true, or `ms` have passed; whether it became true.
  async poll(expression, ms = 30000) {
    for (const end = Date.now() + ms; Date.now() < end; await new Promise((r) => setTimeout(r, 200))) {
      if (await this.evaluate(expression).catch(() => false)) return true;
    }
    return false;
  }

  async screenshot() {
    const { data } = await this.page.send("Page.captureScreenshot", { format: "png" });
    return Buffer.from(data, "base64");
  }

  // As a click on the window's close box, in the runtime.
  close() { this.toStandin({ op: "close" }); }

  async stop() {
    if (this.standin) this.standin.destroy();
    if (this.server) await new Promise((resolve) => this.server.close(resolve));
    if (this.chromium) await this.chromium.close();
  }
}

module.exports = { Relay };
