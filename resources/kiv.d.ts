// Declarations of window.kiv, the Folio runtime's script library: every native function
// with its arguments, the value its promise settles with, and how it fails. TypeDoc
// renders these comments into the reference (`make docs`).
export {};

declare global {
  /**
   * Values the runtime reads as text: a number or a boolean is taken as written
   * (`12` as `"12"`, `true` as `"true"`), `null` as a missing value. An object or an
   * array where text is expected is refused: the runtime logs
   * `Conversion from array to string is not supported` and the page gets **no answer**
   * (the promise stays pending), except for the menu functions and the `contents` of
   * `files.writeTextFile` and `base64.decodeToFile`, which reject with that text.
   */
  type KivText = string | number | boolean | null;
  /**
   * Booleans the runtime reads through their text: a number (`0` is false, any other
   * number true), or `"true"` / `"false"` in any case. Other text is refused (see each
   * function for what the page then sees).
   */
  type KivBool = boolean | number | string;
  /**
   * The file types of a file dialog: `"Text files|*.txt;All files|*.*"`, one
   * `description|mask` pair per type, the pairs separated by `;`. A `;` always starts a
   * new pair, so a type has one mask; an entry that is not exactly two parts is left out.
   */
  type KivFileTypes = string;
  /** `"ontop"` keeps the main window above the others; `"normal"` does not. */
  type KivWindowStyle = "normal" | "ontop";
  /** The main window's state. */
  type KivWindowState = "normal" | "minimized" | "maximized";
  /**
   * The main window's frame: `none` (no frame nor caption), `single` (fixed size),
   * `sizeable` (the default), `dialog`, `toolwindow` (small caption, fixed size),
   * `sizetoolwindow` (small caption, sizeable). The tool-window frames keep the
   * taskbar button.
   */
  type KivBorder = "none" | "single" | "sizeable" | "dialog" | "toolwindow" | "sizetoolwindow";

  /**
   * One item of a menu bar or tray menu, as given (in JSON text) to
   * {@link Kiv.mainMenu | mainMenu.setItems} and {@link Kiv.trayMenu | trayMenu.setItems}.
   * A description may hold at most 4096 items, nested at most 16 levels deep.
   */
  interface KivMenuItem {
    /**
     * The number a click reports (as decimal text) to the click event. A value that is
     * not an integer (decimal, `0x` or `$` hexadecimal) is taken as 0.
     */
    id: number | string;
    /** The item's text; `"-"` makes a separator line. `&` marks the access key. */
    caption: string;
    /** `false` greys the item out. */
    enabled?: KivBool;
    /**
     * An image shown beside the caption (a PNG): the package's entry of this
     * exact name (with the `DirName` folder, such as `"notes/img/save.png"`), else a file
     * of this name beside the executable, else the file this path names. A name that
     * finds nothing gives no image; bytes that are not an image fail the whole call with
     * `Wrong menu item image`.
     */
    image?: string;
    /** Children: the item opens a submenu and reports no clicks. */
    items?: KivMenuItem[];
  }

  /**
   * A change to one item already set, for {@link Kiv.mainMenu | mainMenu.updateItem} and
   * {@link Kiv.trayMenu | trayMenu.updateItem}. Fields left out, or given as empty text,
   * stay as they are.
   */
  interface KivMenuUpdate {
    /** The item's id; it is searched at every level of the menu. */
    id: number | string;
    /** The new caption. */
    caption?: string;
    /** The new enabled state. */
    enabled?: KivBool;
    /** A new image, found as {@link KivMenuItem.image} is. */
    image?: string;
  }

  /**
   * The handlers the runtime calls on the page, in `window.kiv.events`. Replace them by
   * assignment: `window.kiv.events.onMainMenuItemClick = (id) => ...`. Each event goes
   * only to the document that set the menu, showed the tray icon or the notification;
   * after a navigation to another page, those clicks are dropped until the new page sets
   * them again.
   */
  interface KivEvents {
    /**
     * The user asked to close the main window (its close box, Alt+F4, the system menu).
     * The window stays open until the page calls {@link Kiv.app | app.close}; the default
     * handler calls it at once. A handler that asks first (to save a document) calls
     * `app.close()` only once the user agreed. After `app.close()` the handler is called
     * once more as the window closes; the window closes whatever it does then.
     */
    onCloseQuery(): void;
    /** An item of the menu bar was clicked: its `id`, as decimal text (`"12"`). */
    onMainMenuItemClick(itemId: string): void;
    /** An item of the tray menu was clicked: its `id`, as decimal text. */
    onTrayMenuItemClick(itemId: string): void;
    /** The tray icon was clicked (the left button; the right one opens the tray menu). */
    onTrayIconClick(): void;
    /** A notification shown by {@link Kiv.system | system.notification} was clicked: its `name`. */
    onNotificationClick(notifName: string): void;
    /**
     * The app was started again, by the same user, while this window runs
     * (`AllowInstances=0`): that start ended without a window, this window came forward
     * (restored from the taskbar or the tray), and the page hears the other start's
     * arguments (without the program's name; a file opened with the app is one of them)
     * and its working folder. The default handler does nothing. Only a page of the
     * package hears it; a start that opens a page's window (the app's `ID` and a URL)
     * is not handed over.
     */
    onSecondInstance(args: string[], workingFolder: string): void;
  }

  /**
   * The runtime's functions, `window.kiv`. Every function posts a message to the
   * runtime and returns a promise. Only pages of the package (`file:///` pages the
   * runtime serves from the package or from the executable's folder) are answered; a
   * page from elsewhere gets no answer at all.
   *
   * A promise is **resolved** with the function's answer, or **rejected** with the
   * runtime's failure text (a string, such as `"Missing filePath"`). A few malformed
   * calls are not answered at all (noted on each function): their promises stay pending,
   * so guard calls whose arguments come from the user with your own time limit if a
   * pending promise matters.
   *
   * Relative paths are taken below the executable's folder (`"data/a.txt"` is
   * `<folder of App.exe>\data\a.txt`); `/` and `\` both separate folders.
   */
  interface Kiv {
    /**
     * Calls a native function by its number. The functions below are this with their
     * numbers; `call` is there for numbers a newer runtime may add.
     * @param funcID The function's number, such as `10001`; `"10001"` and `"0x2711"` name the same.
     * @param args The function's arguments; a missing object is sent as `{}`.
     * @returns The function's answer. A number that names no function is never answered.
     *   Arguments that cannot be posted (a `BigInt`, a cycle) reject at once with the
     *   browser's error, and nothing is sent.
     */
    call(funcID: number, args?: object): Promise<unknown>;
    /** The runtime's version, such as `"2023.19"`. */
    hello(): Promise<string>;
    /** `true`: the page runs inside the runtime. A page opened in a browser has no `window.kiv`. */
    isRuntime(): Promise<true>;

    /**
     * The system's file dialogs, owned by the main window. They answer `""` when the
     * user cancels.
     */
    dialogs: {
      /**
       * Asks the user for a file to open.
       * @param args.fileName The name the dialog starts with.
       * @param args.title The dialog's title; `"Open file"` when left out.
       * @param args.fileTypes The types the user may pick from.
       * @returns The chosen file's full path; `""` when cancelled.
       */
      openFile(args?: { fileName?: KivText; title?: KivText; fileTypes?: KivFileTypes }): Promise<string>;
      /**
       * Asks the user where to save a file. Nothing is written: write it with
       * {@link Kiv.files | files.writeTextFile} or {@link Kiv.base64 | base64.decodeToFile}.
       * @param args.fileName The name the dialog starts with.
       * @param args.title The dialog's title; `"Save file"` when left out.
       * @param args.fileTypes The types the user may pick from.
       * @param args.overwritePrompt Whether to ask before an existing file is chosen; false
       *   when left out. Text other than a boolean (`"yes"`) is not answered.
       * @returns The chosen file's full path; `""` when cancelled.
       */
      saveFile(args?: {
        fileName?: KivText;
        title?: KivText;
        fileTypes?: KivFileTypes;
        overwritePrompt?: KivBool;
      }): Promise<string>;
      /**
       * Asks the user for a folder.
       * @param args.title The dialog's title; `"Save file"` when left out.
       * @returns The chosen folder with a trailing backslash; `""` when cancelled.
       */
      selFolder(args?: { title?: KivText }): Promise<string>;
    };

    /**
     * Files on the disk. To read a file, `fetch` it: a page of the package may fetch
     * `file:///C:/path/to/file.txt` (any drive path) and `file:///name.txt` (a file beside
     * the executable, when the package has no entry of that name).
     */
    files: {
      /**
       * Whether a file exists (a folder is not a file).
       * @param args.filePath The file; relative paths are taken below the executable's folder.
       * @returns `true` or `false`. Rejected with `Missing filePath` when it is left out or empty.
       */
      fileExists(args: { filePath: KivText }): Promise<boolean>;
      /**
       * Deletes a file.
       * @param args.filePath The file; relative paths are taken below the executable's folder.
       * @returns `true` when it was deleted; `false` when it could not be (missing, read-only,
       *   in use). Rejected with `Missing filePath` when it is left out or empty.
       */
      deleteFile(args: { filePath: KivText }): Promise<boolean>;
      /**
       * Writes text to a file, replacing it: UTF-8 with a byte order mark, every line
       * ending with CR LF, the last one included (`\n`, `\r` and `\r\n` all end a line).
       * Missing folders are made.
       * @param args.filePath The file; relative paths are taken below the executable's folder.
       * @param args.contents The text; an empty file when left out.
       * @returns `true`. Rejected with `Missing filePath`, or with
       *   `Cannot create file "<path>". <the system's reason>`.
       */
      writeTextFile(args: { filePath: KivText; contents?: KivText }): Promise<true>;
      /**
       * Copies a file of the package to the disk. The entry is written to a new file
       * beside the target and renamed over it only once it was read whole with its
       * checksum right: a failure leaves the target as it was.
       * @param args.sourceFile The entry's path below the app's folder in the package
       *   (`DirName`), with its leading slash: `"/img/logo.png"`.
       * @param args.targetFile The file to write. Give a full path (such as one below
       *   {@link Kiv.folders | folders.getAppDataDir}): a relative one is taken from the
       *   process's current folder, not the executable's.
       * @returns `true`. Rejected with `Missing sourceFile`, `Missing targetFile`,
       *   `File not found` (no such entry), `Cannot extract file "<entry>". <reason>` (a
       *   damaged entry) or `Cannot create file "<target>". <reason>` (a full disk). A target
       *   that cannot be created at all (its folder missing or read-only) is not answered.
       */
      extractFile(args: { sourceFile: KivText; targetFile: KivText }): Promise<true>;
    };

    /** Folders, and the places of the user and of the app. Folders come with a trailing backslash. */
    folders: {
      /**
       * Whether a folder exists.
       * @param args.dirPath The folder; relative paths are taken below the executable's folder.
       * @returns `true` or `false`. Rejected with `Missing dirPath`.
       */
      dirExists(args: { dirPath: KivText }): Promise<boolean>;
      /**
       * Deletes a folder **with everything in it**.
       * @param args.dirPath The folder; relative paths are taken below the executable's folder.
       * @returns `true` when it is gone; `false` when it could not be deleted. Rejected with
       *   `Missing dirPath`.
       */
      deleteDir(args: { dirPath: KivText }): Promise<boolean>;
      /** The user's temporary folder, such as `C:\Users\ann\AppData\Local\Temp\`. */
      getTempDir(): Promise<string>;
      /** The user's Documents folder. */
      getUserDocumentsDir(): Promise<string>;
      /** The user's desktop folder. */
      getUserDesktopDir(): Promise<string>;
      /** The folder of the executable, such as `C:\Apps\`. */
      getAppExecutableDir(): Promise<string>;
      /** The user's roaming application data folder (`%APPDATA%\`), shared by all apps: make a folder of your own in it. */
      getAppDataDir(): Promise<string>;
    };

    /** The application as a whole. */
    app: {
      /**
       * Closes the main window, and with it the application, without asking the page
       * again: the answer to {@link KivEvents.onCloseQuery}. Not answered: the promise
       * settles once the request is posted, with no value.
       */
      close(): Promise<void>;
      /** Whether the window is in full screen (entered here, or started so by `WindowStyle=1`). */
      inFullscreen(): Promise<boolean>;
      /**
       * Full screen: the window loses its frame and is maximized. Not answered: settles
       * once asked, with no value. Nothing happens when it already is in full screen.
       */
      enterFullscreen(): Promise<void>;
      /**
       * Leaves full screen: the window is restored to its normal state, with the frame of
       * the `WindowBorder` setting. Not answered: settles once asked, with no value.
       */
      exitFullscreen(): Promise<void>;
      /**
       * The executable's full path, then every command-line argument (blanks separate,
       * double quotes group and are removed).
       */
      getArgs(): Promise<string[]>;
    };

    /** The main window. The setters answer `true` even when they change nothing. */
    window: {
      /** Whether the window stays above the others. */
      getStyle(): Promise<KivWindowStyle>;
      /**
       * Keeps the window above the others, or not.
       * @param args.style `"ontop"` exactly; any other text (and a missing one) is `"normal"`.
       * @returns `true`.
       */
      setStyle(args?: { style?: KivWindowStyle | string }): Promise<true>;
      /** The window's state. */
      getState(): Promise<KivWindowState>;
      /**
       * Minimizes, maximizes or restores the window. While the tray icon shows,
       * `"minimized"` hides the window (only the tray icon stays), and `"normal"` or
       * `"maximized"` shows it again and brings it to the front.
       * @param args.state `"normal"` when left out; other text changes nothing.
       * @returns `true`.
       */
      setState(args?: { state?: KivWindowState | string }): Promise<true>;
      /** The window's title: `Name` from kiv.ini until the page sets another (or, with `DynamicAppTitle=1`, the page's `<title>`). */
      getTitle(): Promise<string>;
      /**
       * Sets the window's title (and the taskbar's).
       * @param args.title The title; empty when left out.
       * @returns `true`.
       */
      setTitle(args?: { title?: KivText }): Promise<true>;
      /** The page's zoom factor (`"1"`, `"1.25"`), written with the user's decimal separator (`"1,25"` in a German Windows). */
      getZoom(): Promise<string>;
      /**
       * Zooms the page.
       * @param args.factor The factor, a number or text written with `.` (`1.5`, `"1.5"`), whatever the user's locale.
       * @returns `true`; `false` when factor is not such a number, in which case the zoom goes back to 1.
       */
      setZoom(args: { factor: number | string }): Promise<boolean>;
      /** The window's place and size on the screen, in pixels, frame included. */
      getSize(): Promise<{
        /** Pixels from the top of the screen to the window's top edge. */
        top: number;
        /** Pixels from the left of the screen to the window's left edge. */
        left: number;
        /** The window's width. */
        width: number;
        /** The window's height. */
        height: number;
      }>;
      /**
       * Moves and sizes the window. Each value left out stays as it is; text is read up to
       * its first character that is not a digit (`"1024px"` is 1024). The window's
       * `MinWidth`... `MaxHeight` settings still hold.
       * @param args.top The top edge, in pixels from the top of the screen.
       * @param args.left The left edge, in pixels from the left of the screen.
       * @param args.width The width, frame included.
       * @param args.height The height, frame included.
       * @returns `true`.
       */
      setSize(args?: { top?: number | string; left?: number | string; width?: number | string; height?: number | string }): Promise<true>;
      /** The window's frame. */
      getBorder(): Promise<KivBorder>;
      /**
       * Changes the window's frame.
       * @param args.border One of the names of {@link KivBorder}, exactly; `"sizeable"` when
       *   left out; an unknown name changes nothing.
       * @returns `true`.
       */
      setBorder(args?: { border?: KivBorder | string }): Promise<true>;
    };

    /**
     * Other programs. Failures carry the system's own text, in the user's language
     * (such as `The system cannot find the file specified`).
     */
    shell: {
      /**
       * Opens a file, a folder or a URL with the program Windows associates with it, as a
       * double click would (`https://...` opens the default browser).
       * @param args.filePath What to open.
       * @param args.arguments Command-line arguments for a program.
       * @returns `true` once started. Rejected with `Missing filePath`, or with the
       *   system's text when it cannot be opened.
       */
      execute(args: { filePath: KivText; arguments?: KivText }): Promise<true>;
      /**
       * Opens Explorer with this file or folder selected.
       * @param args.filePath The file or folder; a path holding `"` is refused.
       * @returns `true`. Rejected with `Missing filePath`, or with the system's text.
       */
      explore(args: { filePath: KivText }): Promise<true>;
      /**
       * Runs a command line with `cmd.exe /C` and answers with what it wrote. The command
       * runs off the user-interface thread: the window and other calls go on meanwhile,
       * and the answer comes when the command ends (to the page that asked, if it is
       * still shown). A command that never ends is never answered.
       * @param args.command The command line, such as `"dir /b"`.
       * @param args.workingDir The folder it runs in; the runtime's own when left out.
       * @param args.showWindow Only `true` (or the text `"true"`) shows the console window;
       *   `1` and `"True"` keep it hidden.
       * @returns The command's standard output and standard error, as one text (lines end
       *   with `\r\n`). Rejected with `Missing command`, or with the system's text when it
       *   cannot start. A command that fails but starts (`exit 1`) is answered with its output.
       */
      command(args: { command: KivText; workingDir?: KivText; showWindow?: KivBool }): Promise<string>;
      /** The captions of all top-level windows of the desktop (this app's included). */
      windows(): Promise<string[]>;
    };

    /**
     * The look of the runtime's own windows (frame, menus, dialogs): `"Windows"`, the
     * system's, or one of the themes the runtime carries (`"Carbon"`, ...). The page's
     * own colours are the page's business.
     */
    themes: {
      /** The active theme's name; `"Windows"` for the system's look. */
      getTheme(): Promise<string>;
      /** The names of all themes, `"Windows"` among them, sorted by name. */
      getThemes(): Promise<string[]>;
      /**
       * Switches the theme of every window of the app.
       * @param args.name A name of {@link Kiv.themes | getThemes}.
       * @returns `true` when the active theme now has exactly this name; `false` for an
       *   unknown name (nothing changes) and for a name differing only in case (which does
       *   switch).
       */
      setTheme(args?: { name?: KivText }): Promise<boolean>;
    };

    /** Binary files written from the page. */
    base64: {
      /**
       * Writes bytes given as base64 to a file, replacing it. Missing folders are made.
       * Characters outside the base64 alphabet count as zero; a last group shorter than
       * four characters is dropped.
       * @param args.filePath The file; relative paths are taken below the executable's folder.
       * @param args.contents The bytes in base64 (standard alphabet, as `btoa` writes).
       * @returns `true`. Rejected with `Missing filePath`, or with
       *   `Cannot create file "<path>". <the system's reason>`.
       */
      decodeToFile(args: { filePath: KivText; contents?: string }): Promise<true>;
    };

    /** The session and notifications. */
    system: {
      /**
       * Ends the user's session: every program is asked to close.
       * @returns `true` once asked. Rejected with the system's text (such as
       *   `A required privilege is not held by the client`).
       */
      logoff(): Promise<true>;
      /**
       * Restarts the computer.
       * @returns `true` once asked. Rejected with the system's text.
       */
      reboot(): Promise<true>;
      /**
       * Shuts the computer down.
       * @returns `true` once asked. Rejected with the system's text.
       */
      shutdown(): Promise<true>;
      /**
       * Shows a notification (a Windows toast) in the app's name. A click on it calls
       * {@link KivEvents.onNotificationClick} with its name.
       * @param args.name The name its click reports back.
       * @param args.title The first line, in bold.
       * @param args.body The text below.
       * @returns `true` when shown; `false` when the system has no notification service
       *   (such as a Windows without the toast platform, or Wine) or refused it.
       */
      notification(args?: { name?: KivText; title?: KivText; body?: KivText }): Promise<boolean>;
    };

    /**
     * The main window's menu bar. Clicks call {@link KivEvents.onMainMenuItemClick}.
     */
    mainMenu: {
      /**
       * Replaces the menu bar. The description is checked whole first: a failure leaves
       * the menu as it was.
       * @param args.items `JSON.stringify` of an array of {@link KivMenuItem}; `"[]"`
       *   empties the bar.
       * @returns `true`. Rejected with `Missing menu items`, `Wrong menu item JSON` (not a
       *   JSON array of objects with `id` and `caption`), `Menu items nested too deep`,
       *   `Too many menu items`, `'<text>' is not a valid boolean value` (an `enabled`),
       *   `Wrong menu item image`, or `Conversion from array to string is not supported`
       *   (the array given without `JSON.stringify`).
       */
      setItems(args: { items: string }): Promise<true>;
      /**
       * Changes one item.
       * @returns `true`, also when no item has this id. Rejected with `Missing item ID`,
       *   `Wrong item ID` (not an integer, or -1), `No menu items` (none set yet),
       *   `'<text>' is not a valid boolean value` or `Wrong menu item image`.
       */
      updateItem(args: KivMenuUpdate): Promise<true>;
    };

    /**
     * String values of the user's registry, below `HKEY_CURRENT_USER`. A `key` such as
     * `"Software\\MyCompany\\MyApp"` (a leading backslash is dropped). A key that is empty
     * is rejected with `Missing registry key.`; a value name that is empty with
     * `Missing value name.`.
     */
    registry: {
      /**
       * Writes a string value (`REG_SZ`), making the key when needed.
       * @returns `true`; `false` when the key cannot be opened or made. A value that the
       *   system refuses to write is not answered.
       */
      writeValue(args: { key: KivText; name: KivText; value?: KivText }): Promise<boolean>;
      /**
       * Reads a string value.
       * @returns The value; `""` when the key or the value does not exist. A value that is
       *   not a string (a `REG_DWORD`) is not answered.
       */
      readValue(args: { key: KivText; name: KivText }): Promise<string>;
      /** Whether a value exists. */
      valueExist(args: { key: KivText; name: KivText }): Promise<boolean>;
      /** Deletes a value. @returns `true` when deleted; `false` when it was not there or could not be deleted. */
      deleteValue(args: { key: KivText; name: KivText }): Promise<boolean>;
      /** Whether a key exists. */
      keyExist(args: { key: KivText }): Promise<boolean>;
      /** Deletes a key **with all its subkeys and values**. @returns `true` when deleted; `false` when it was not there or could not be deleted. */
      deleteKey(args: { key: KivText }): Promise<boolean>;
    };

    /**
     * The icon in the notification area (its tooltip: the executable's name) and its
     * menu (the right button). Clicks call {@link KivEvents.onTrayIconClick} and
     * {@link KivEvents.onTrayMenuItemClick}. While the icon shows, minimizing the window
     * from the page hides it (see {@link Kiv.window | window.setState}).
     */
    trayMenu: {
      /** Shows the icon (the app's icon). @returns `true`; `false` when the system would not take it. */
      showIcon(): Promise<boolean>;
      /** Takes the icon away. @returns `true`; `false` when the system would not. */
      hideIcon(): Promise<boolean>;
      /**
       * Replaces the tray menu; as {@link Kiv.mainMenu | mainMenu.setItems}, with the same failures.
       * @param args.items `JSON.stringify` of an array of {@link KivMenuItem}.
       */
      setItems(args: { items: string }): Promise<true>;
      /** Changes one item; as {@link Kiv.mainMenu | mainMenu.updateItem}, with the same failures. */
      updateItem(args: KivMenuUpdate): Promise<true>;
    };

    /** The handlers the runtime calls: replace them to hear of clicks and of the close box. */
    events: KivEvents;
  }

  /** The page's window, with the runtime's library. */
  interface Window {
    /** The runtime's functions; see {@link Kiv}. */
    kiv: Kiv;
  }
}
