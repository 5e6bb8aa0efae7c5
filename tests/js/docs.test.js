// The documents of docs/ against what they describe: the settings reference against the
// runtime's key table, and the first-app guide's code against the example it quotes.
"use strict";
const { test } = require("node:test");
const assert = require("node:assert/strict");
const fs = require("node:fs");
const path = require("node:path");

const ROOT = path.resolve(__dirname, "../..");
const read = (file) => fs.readFileSync(path.join(ROOT, file), "utf8");

// kSettingKeys of package/SettingsKeys.h: {u"Name", TSettingType::Type, required}.
function keyTable() {
  const header = read("package/SettingsKeys.h");
  const body = header.slice(header.indexOf("kSettingKeys[]"));
  const rows = [...body.matchAll(/\{u"(\w+)", TSettingType::(\w+), (true|false)\}/g)];
  return rows.map(([, name, type, required]) => ({ name, type: type.toLowerCase(), required: required === "true" }));
}

// The rows of the keys table of docs/settings.md: | `Name` | type | yes/no | default | effect |.
function documentedKeys() {
  return read("docs/settings.md").split("\n")
    .map((line) => /^\| `(\w+)` \| (\w+) \| (yes|no) \|(.*?)\| (.+) \|$/.exec(line))
    .filter(Boolean)
    .map(([, name, type, required, , effect]) => ({ name, type, required: required === "yes", effect }));
}

test("docs/settings.md describes every key of the key table, with its type and whether it is required", () => {
  const table = keyTable();
  assert.ok(table.length >= 29, `the key table read as ${table.length} keys`);
  const documented = documentedKeys();
  assert.deepEqual(documented.map(({ name, type, required }) => ({ name, type, required })), table);
  for (const key of documented) assert.ok(key.effect.length > 20, `${key.name} has no effect described`);
});

// Each fenced block of the guide is introduced by a line naming its file:
// `examples/first-app/kiv.ini`: ... and must be that file, whole.
test("every code block of docs/first-app.md is a file under examples/, whole", () => {
  const guide = read("docs/first-app.md");
  const blocks = [...guide.matchAll(/<!-- file: (\S+) -->\n```\w*\n([\s\S]*?)```\n/g)];
  const fences = guide.match(/^```/gm) || [];
  assert.equal(blocks.length * 2, fences.length, "a code block without its <!-- file: ... --> line");
  assert.ok(blocks.length >= 4, "the guide quotes too few files");
  for (const [, file, code] of blocks) {
    assert.match(file, /^examples\//);
    assert.equal(code, read(file), `${file} differs from its block in the guide`);
  }
});
