// Compiled (not run) against resources/kiv.d.ts: uses that must type-check, and uses
// that must not (each marked with @ts-expect-error, which fails when no error occurs).
async function uses(): Promise<void> {
  const version: string = await window.kiv.hello();
  const exists: boolean = await window.kiv.files.fileExists({ filePath: "data/a.txt" });
  const path: string = await window.kiv.dialogs.saveFile({ title: "Save", fileTypes: "Text|*.txt", overwritePrompt: true });
  const size = await window.kiv.window.getSize();
  const width: number = size.width;
  const args: string[] = await window.kiv.app.getArgs();
  await window.kiv.window.setBorder({ border: "dialog" });
  await window.kiv.mainMenu.setItems({ items: JSON.stringify([{ id: 1, caption: "File", items: [] }]) });
  window.kiv.events.onMainMenuItemClick = (itemId: string) => console.log(itemId);
  await window.kiv.app.enterFullscreen();
  const folder: string = await window.kiv.dialogs.selFolder();
  console.log(version, exists, path, width, args, folder);

  // @ts-expect-error filePath is required
  await window.kiv.files.fileExists({});
  // @ts-expect-error the result is a boolean, not a string
  const wrong: string = await window.kiv.folders.dirExists({ dirPath: "x" });
  // @ts-expect-error the unanswered functions settle with nothing
  const nothing: boolean = await window.kiv.app.exitFullscreen();
  // @ts-expect-error no such namespace
  window.kiv.network.fetch();
  console.log(wrong, nothing);
}
uses();
