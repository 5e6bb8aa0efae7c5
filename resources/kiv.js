// window.kiv: the page's side of the bridge to the Folio runtime. Every function posts
// {id, uuid, data} to the runtime and returns a promise that the reply with the same
// uuid settles; events call the handlers in window.kiv.events.
(function () {
  // Calls waiting for their reply, by uuid. One listener serves them all, and is there
  // only while some call waits. A uuid can come up twice (a page that replaces
  // Math.random), so each holds its calls in the order they were made, and a reply
  // settles the oldest.
  var pending = new Map();
  var onReply = function (message) {
    var reply = message.data;
    var calls = reply !== null && typeof reply === "object" ? pending.get(reply.uuid) : undefined;
    if (calls === undefined) {
      return;
    }
    var waiting = calls[0];
    forget(reply.uuid, waiting);
    if (reply.success === true) {
      waiting.resolve(reply.result);
    } else {
      waiting.reject(reply.result);
    }
  };
  var forget = function (uuid, waiting) {
    var calls = pending.get(uuid);
    calls.splice(calls.indexOf(waiting), 1);
    if (calls.length === 0) {
      pending.delete(uuid);
    }
    if (pending.size === 0) {
      window.chrome.webview.removeEventListener("message", onReply);
    }
  };
  // app.close, app.enterFullscreen and app.exitFullscreen are never answered: their
  // promises settle once the message is posted.
  var unanswered = [50001, 50003, 50004];
  // The function an id names, read as the runtime reads it: leading blanks, a sign, then
  // decimal digits, or "$", "x" or "0x" and hexadecimal ones that keep their 32-bit
  // pattern. NaN where the runtime finds no function.
  var functionOf = function (funcID) {
    var text = typeof funcID === "number" || typeof funcID === "string" ? String(funcID) : "";
    var parts = /^ *([+-]?)(?:(?:\$|0?[xX])([0-9a-fA-F]+)|([0-9]+))$/.exec(text);
    if (parts === null) {
      return NaN;
    }
    var negative = parts[1] === "-";
    if (parts[2] !== undefined) {
      var bits = parseInt(parts[2], 16);
      return bits > 0xffffffff ? NaN : (negative ? -bits : bits) | 0;
    }
    var magnitude = parseInt(parts[3], 10);
    return magnitude > (negative ? 0x80000000 : 0x7fffffff) ? NaN : negative ? -magnitude : magnitude;
  };

window.kiv = {
  call: function (funcID, args) {
    var uuid = "xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx".replace(/[xy]/g, function (c) {
      var r = Math.floor(Math.random() * 16);
      return (c === "x" ? r : (r % 4) + 8).toString(16);
    });
    var answered = unanswered.indexOf(functionOf(funcID)) < 0;
    return new Promise(function (resolve, reject) {
      var waiting = { resolve: resolve, reject: reject };
      if (answered) {
        if (pending.size === 0) {
          window.chrome.webview.addEventListener("message", onReply);
        }
        if (pending.has(uuid)) {
          pending.get(uuid).push(waiting);
        } else {
          pending.set(uuid, [waiting]);
        }
      }
      try {
        // Missing fields take their defaults; a missing data object would get no reply.
        window.chrome.webview.postMessage({ id: funcID, uuid: uuid, data: args ?? {} });
      } catch (error) {
        // Not serializable (a BigInt, a cycle...): nothing was sent.
        if (answered) {
          forget(uuid, waiting);
        }
        reject(error);
        return;
      }
      if (!answered) {
        resolve();
      }
    });
  },
  hello: function () {
    return this.call(10001, {});
  },
  isRuntime: function () {
    return this.call(10002, {});
  },
  dialogs: {
    openFile: function (args) {
      return window.kiv.call(20001, args);
    },
    saveFile: function (args) {
      return window.kiv.call(20002, args);
    },
    selFolder: function (args) {
      return window.kiv.call(20003, args);
    }
  },
  files: {
    fileExists: function (args) {
      return window.kiv.call(30001, args);
    },
    deleteFile: function (args) {
      return window.kiv.call(30002, args);
    },
    writeTextFile: function (args) {
      return window.kiv.call(30003, args);
    },
    extractFile: function (args) {
      return window.kiv.call(30004, args);
    }
  },
  folders: {
    dirExists: function (args) {
      return window.kiv.call(40001, args);
    },
    deleteDir: function (args) {
      return window.kiv.call(40002, args);
    },
    getTempDir: function () {
      return window.kiv.call(40003, {});
    },
    getUserDocumentsDir: function () {
      return window.kiv.call(40004, {});
    },
    getUserDesktopDir: function () {
      return window.kiv.call(40005, {});
    },
    getAppExecutableDir: function () {
      return window.kiv.call(40006, {});
    },
    getAppDataDir: function () {
      return window.kiv.call(40007, {});
    }
  },
  app: {
    close: function () {
      return window.kiv.call(50001, {});
    },
    inFullscreen: function () {
      return window.kiv.call(50002, {});
    },
    enterFullscreen: function () {
      return window.kiv.call(50003, {});
    },
    exitFullscreen: function () {
      return window.kiv.call(50004, {});
    },
    getArgs: function () {
      return window.kiv.call(50005, {});
    }
  },
  window: {
    getStyle: function () {
      return window.kiv.call(60001, {});
    },
    setStyle: function (args) {
      return window.kiv.call(60002, args);
    },
    getState: function () {
      return window.kiv.call(60003, {});
    },
    setState: function (args) {
      return window.kiv.call(60004, args);
    },
    getTitle: function () {
      return window.kiv.call(60005, {});
    },
    setTitle: function (args) {
      return window.kiv.call(60006, args);
    },
    getZoom: function () {
      return window.kiv.call(60007, {});
    },
    setZoom: function (args) {
      return window.kiv.call(60008, args);
    },
    getSize: function () {
      return window.kiv.call(60009, {});
    },
    setSize: function (args) {
      return window.kiv.call(60010, args);
    },
    getBorder: function () {
      return window.kiv.call(60011, {});
    },
    setBorder: function (args) {
      return window.kiv.call(60012, args);
    }
  },
  shell: {
    execute: function (args) {
      return window.kiv.call(70001, args);
    },
    explore: function (args) {
      return window.kiv.call(70002, args);
    },
    command: function (args) {
      return window.kiv.call(70003, args);
    },
    windows: function () {
      return window.kiv.call(70004, {});
    }
  },
  themes: {
    getTheme: function () {
      return window.kiv.call(80001, {});
    },
    getThemes: function () {
      return window.kiv.call(80002, {});
    },
    setTheme: function (args) {
      return window.kiv.call(80003, args);
    }
  },
  base64: {
    decodeToFile: function (args) {
      return window.kiv.call(90001, args);
    }
  },
  system: {
    logoff: function () {
      return window.kiv.call(11001, {});
    },
    reboot: function () {
      return window.kiv.call(11002, {});
    },
    shutdown: function () {
      return window.kiv.call(11003, {});
    },
    notification: function (args) {
      return window.kiv.call(11004, args);
    }
  },
  mainMenu: {
    setItems: function (args) {
      return window.kiv.call(12001, args);
    },
    updateItem: function (args) {
      return window.kiv.call(12002, args);
    }
  },
  registry: {
    writeValue: function (args) {
      return window.kiv.call(13001, args);
    },
    readValue: function (args) {
      return window.kiv.call(13002, args);
    },
    valueExist: function (args) {
      return window.kiv.call(13003, args);
    },
    deleteValue: function (args) {
      return window.kiv.call(13004, args);
    },
    keyExist: function (args) {
      return window.kiv.call(13005, args);
    },
    deleteKey: function (args) {
      return window.kiv.call(13006, args);
    }
  },
  trayMenu: {
    showIcon: function () {
      return window.kiv.call(14001, {});
    },
    hideIcon: function () {
      return window.kiv.call(14002, {});
    },
    setItems: function (args) {
      return window.kiv.call(14003, args);
    },
    updateItem: function (args) {
      return window.kiv.call(14004, args);
    }
  },
  events: {
    onCloseQuery: function () {
      window.kiv.app.close();
    },
    onMainMenuItemClick: function (itemId) {},
    onTrayMenuItemClick: function (itemId) {},
    onTrayIconClick: function () {},
    onNotificationClick: function (notifName) {},
    onSecondInstance: function (args, workingFolder) {},
  },
};
})();
