// Declarations of window.kiv, the Folio runtime's script library: every native function
// with its arguments and the value its promise settles with. A rejected promise carries
// the runtime's message (a string).
export {};

declare global {
  /** Values the runtime reads as text: a number or a boolean is taken as written. */
  type KivText = string | number | boolean | null;
  /** Booleans the runtime reads through their text: 0/1, "true"/"false". */
  type KivBool = boolean | number | string;
  /** "Name|*.ext;Other|*.x": one mask per type. */
  type KivFileTypes = string;
  type KivWindowStyle = "normal" | "ontop";
  type KivWindowState = "normal" | "minimized" | "maximized";
  type KivBorder = "none" | "single" | "sizeable" | "dialog" | "toolwindow" | "sizetoolwindow";

  interface KivMenuItem {
    id: number | string;
    caption: string;
    enabled?: KivBool;
    /** An entry of the package, a file path, or a data URI of an image. */
    image?: string;
    /** Children: the item opens a submenu and reports no clicks. */
    items?: KivMenuItem[];
  }

  interface KivMenuUpdate {
    id: number | string;
    caption?: string;
    enabled?: KivBool;
    image?: string;
  }

  interface KivEvents {
    onCloseQuery(): void;
    onMainMenuItemClick(itemId: string): void;
    onTrayMenuItemClick(itemId: string): void;
    onTrayIconClick(): void;
    onNotificationClick(notifName: string): void;
  }

  interface Kiv {
    /** A missing args object is sent as {}. */
    call(funcID: number, args?: object): Promise<unknown>;
    /** The runtime's version, "2023.19". */
    hello(): Promise<string>;
    isRuntime(): Promise<true>;

    dialogs: {
      /** The chosen file's full path; "" when cancelled. */
      openFile(args?: { fileName?: KivText; title?: KivText; fileTypes?: KivFileTypes }): Promise<string>;
      saveFile(args?: {
        fileName?: KivText;
        title?: KivText;
        fileTypes?: KivFileTypes;
        overwritePrompt?: KivBool;
      }): Promise<string>;
      /** The chosen folder with a trailing backslash; "" when cancelled. */
      selFolder(args?: { title?: KivText }): Promise<string>;
    };

    files: {
      /** Relative paths are taken below the executable's folder. */
      fileExists(args: { filePath: KivText }): Promise<boolean>;
      deleteFile(args: { filePath: KivText }): Promise<boolean>;
      /** UTF-8 with a byte order mark, lines ending CR LF. */
      writeTextFile(args: { filePath: KivText; contents?: KivText }): Promise<true>;
      /** Copies the package entry DirName + sourceFile to targetFile. */
      extractFile(args: { sourceFile: KivText; targetFile: KivText }): Promise<true>;
    };

    folders: {
      dirExists(args: { dirPath: KivText }): Promise<boolean>;
      deleteDir(args: { dirPath: KivText }): Promise<boolean>;
      getTempDir(): Promise<string>;
      getUserDocumentsDir(): Promise<string>;
      getUserDesktopDir(): Promise<string>;
      getAppExecutableDir(): Promise<string>;
      getAppDataDir(): Promise<string>;
    };

    app: {
      /** Asks the application to close; settles once asked, with no answer. */
      close(): Promise<void>;
      inFullscreen(): Promise<boolean>;
      /** Settles once asked, with no answer. */
      enterFullscreen(): Promise<void>;
      /** Settles once asked, with no answer. */
      exitFullscreen(): Promise<void>;
      /** The executable's full path, then every command-line argument. */
      getArgs(): Promise<string[]>;
    };

    window: {
      getStyle(): Promise<KivWindowStyle>;
      setStyle(args?: { style?: KivWindowStyle | string }): Promise<true>;
      getState(): Promise<KivWindowState>;
      setState(args?: { state?: KivWindowState | string }): Promise<true>;
      getTitle(): Promise<string>;
      setTitle(args?: { title?: KivText }): Promise<true>;
      /** The zoom factor, written with the user's decimal separator. */
      getZoom(): Promise<string>;
      /** false (and zoom 1.0) when factor is not a number written with ".". */
      setZoom(args: { factor: number | string }): Promise<boolean>;
      getSize(): Promise<{ top: number; left: number; width: number; height: number }>;
      setSize(args?: { top?: number | string; left?: number | string; width?: number | string; height?: number | string }): Promise<true>;
      getBorder(): Promise<KivBorder>;
      setBorder(args?: { border?: KivBorder | string }): Promise<true>;
    };

    shell: {
      execute(args: { filePath: KivText; arguments?: KivText }): Promise<true>;
      explore(args: { filePath: KivText }): Promise<true>;
      /** The command's output (standard output and error). */
      command(args: { command: KivText; workingDir?: KivText; showWindow?: KivBool }): Promise<string>;
      /** The captions of all top-level windows. */
      windows(): Promise<string[]>;
    };

    themes: {
      getTheme(): Promise<string>;
      getThemes(): Promise<string[]>;
      setTheme(args?: { name?: KivText }): Promise<boolean>;
    };

    base64: {
      decodeToFile(args: { filePath: KivText; contents?: string }): Promise<true>;
    };

    system: {
      logoff(): Promise<true>;
      reboot(): Promise<true>;
      shutdown(): Promise<true>;
      /** false when the system has no notification service. */
      notification(args?: { name?: KivText; title?: KivText; body?: KivText }): Promise<boolean>;
    };

    mainMenu: {
      /** items: JSON.stringify of the menu's items. */
      setItems(args: { items: string }): Promise<true>;
      updateItem(args: KivMenuUpdate): Promise<true>;
    };

    registry: {
      /** Values under HKEY_CURRENT_USER\key. */
      writeValue(args: { key: KivText; name: KivText; value?: KivText }): Promise<boolean>;
      readValue(args: { key: KivText; name: KivText }): Promise<string>;
      valueExist(args: { key: KivText; name: KivText }): Promise<boolean>;
      deleteValue(args: { key: KivText; name: KivText }): Promise<boolean>;
      keyExist(args: { key: KivText }): Promise<boolean>;
      deleteKey(args: { key: KivText }): Promise<boolean>;
    };

    trayMenu: {
      showIcon(): Promise<true>;
      hideIcon(): Promise<true>;
      /** items: JSON.stringify of the menu's items. */
      setItems(args: { items: string }): Promise<true>;
      updateItem(args: KivMenuUpdate): Promise<true>;
    };

    events: KivEvents;
  }

  interface Window {
    kiv: Kiv;
  }
}
