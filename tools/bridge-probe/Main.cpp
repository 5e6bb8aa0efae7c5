// bridge-probe: runs requests through the real dispatcher and functions over host
// stand-ins, one request per line on standard input, and prints each reply (or the line
// "no reply") in order. The tool for looking at the bridge, and the tests' driver.
//
//   bridge-probe [--exe-dir DIR] [--package FILE [--password P]] [--source URI]
//                [--command-line TEXT] [--decimal C] [--answer PATH]... [--themes DIR]
//
// --exe-dir stands for the executable's folder (the page's relative paths land there);
// --package opens a packaged executable or ZIP with the runtime's reader and settings;
// --answer queues what the next file dialog answers (none: the user cancels);
// --themes gives the theme functions the *.style files of DIR as the program's themes.
// Built for Windows, the shell, registry and notifications are the real ones (the power
// actions stay stand-ins), so any request can be tried against the real system.
#include "bridge/BrowserExternalModule.h"
#include "package/Calculations.h"
#include "package/ExeUtils.h"
#include "package/PeImage.h"
#include "platform/FileSystem.h"
#include "platform/Notifications.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "tools/bridge-probe/HostFakes.h"
#include "ui/themes/StyleManager.h"
#include "util/TextCodecs.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

using namespace Folio;

int main(int argc, char** argv)
{
    Probe::TStandIns standIns;
    auto& browser = standIns.Browser;
    auto& dialogs = standIns.Dialogs;
    auto& system = standIns.System;
    std::u16string source = u"file:///index.html";
    std::u16string exeDir = u"C:\\Apps\\";
    std::string packagePath, password, themesDir;
    bool havePassword = false;

    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--source" && hasValue) {
            source = Shared::Utf8ToUtf16(argv[++i]);
        } else if (a == "--exe-dir" && hasValue) {
            exeDir = Shared::Utf8ToUtf16(argv[++i]);
            if (exeDir.empty() || (exeDir.back() != u'/' && exeDir.back() != u'\\')) {
                exeDir.push_back(u'/');
            }
            system.Executable = exeDir + u"FolioRuntime.exe";
        } else if (a == "--package" && hasValue) {
            packagePath = argv[++i];
        } else if (a == "--password" && hasValue) {
            password = argv[++i];
            havePassword = true;
        } else if (a == "--command-line" && hasValue) {
            system.Line = Shared::Utf8ToUtf16(argv[++i]);
        } else if (a == "--decimal" && hasValue) {
            system.Separator = static_cast<char16_t>(argv[++i][0]);
        } else if (a == "--answer" && hasValue) {
            dialogs.Answers.push_back(Shared::Utf8ToUtf16(argv[++i]));
        } else if (a == "--themes" && hasValue) {
            themesDir = argv[++i];
        } else {
            std::cerr << "usage: bridge-probe [--exe-dir DIR] [--package FILE [--password P]] [--source URI]\n"
                         "                    [--command-line TEXT] [--decimal C] [--answer PATH]... [--themes DIR]"
                         " < requests\n";
            return 2;
        }
    }

    std::string packageBytes;
    Shared::TZipArchive archive;
    Shared::TAppSettings settings;
    if (!packagePath.empty()) {
        std::ifstream in(packagePath, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        packageBytes = all.str();
        std::span<const uint8_t> data(reinterpret_cast<const uint8_t*>(packageBytes.data()), packageBytes.size());
        if (const auto end = Shared::PeImageEnd(data); end && *end < data.size()) {
            try {
                data = data.subspan(*end, Shared::PackageEnd(data, *end, packagePath) - *end);
            } catch (const Shared::EFileError& e) {
                std::cerr << "bridge-probe: " << e.what() << "\n";
                return 1;
            }
        }
        if (havePassword) {
            archive.SetPasswordBytes(password);
        } else {
            archive.SetPassword(Shared::PackagePassword());
        }
        if (const auto error = archive.Open(data); error != Shared::ZipError::None) {
            std::cerr << "bridge-probe: " << packagePath << ": " << Shared::ZipErrorMessage(error) << "\n";
            return 1;
        }
        Shared::TMemoryStream ini;
        archive.Extract(u"kiv.ini", ini);
        settings.LoadFromBytes({reinterpret_cast<const char*>(ini.Bytes().data()), ini.Size()});
    }

    auto ports = standIns.Ports(Platform::SystemFileSystem(), exeDir);
    ports.Archive = packagePath.empty() ? nullptr : &archive;
    ports.Settings = &settings;
    Ui::TStyleManager themes({[&themesDir] {
                                  // As a resource directory lists them: by name.
                                  std::vector<std::filesystem::path> files;
                                  for (const auto& entry : std::filesystem::directory_iterator(themesDir)) {
                                      if (entry.path().extension() == ".style") {
                                          files.push_back(entry.path());
                                      }
                                  }
                                  std::sort(files.begin(), files.end());
                                  std::vector<Ui::TStyleResource> found;
                                  for (const auto& file : files) {
                                      std::ifstream in(file, std::ios::binary);
                                      std::ostringstream bytes;
                                      bytes << in.rdbuf();
                                      found.push_back({file.stem().u16string(), bytes.str()});
                                  }
                                  return found;
                              },
                              {},
                              {}});
    ports.Themes = themesDir.empty() ? nullptr : &themes;
#if FOLIO_PROBE_REAL_PORTS
    ports.Shell = &Platform::SystemShell();
    ports.Registry = &Platform::CurrentUserRegistry();
    ports.Notifications = &Platform::SystemNotifications();
#endif
    Bridge::TBrowserExternalModule module(ports);
    module.OnDispatchError = [](const std::string& message) { std::cerr << "bridge-probe: " << message << "\n"; };
    module.FOnAppCloseRequest = [] { std::cerr << "bridge-probe: close requested\n"; };

    std::string line;
    while (std::getline(std::cin, line)) {
        const size_t before = browser.Posted.size();
        module.EdgeBrowserWebMessageReceived(Shared::Utf8ToUtf16(line), source);
        while (module.CommandsRunning() > 0) {
            standIns.Queue.WaitAndPump(); // a command's reply belongs to its request's line
        }
        if (browser.Posted.size() == before) {
            std::cout << "no reply\n";
        }
        for (size_t i = before; i < browser.Posted.size(); ++i) {
            std::cout << Shared::Utf16ToUtf8(browser.Posted[i]) << "\n";
        }
        std::cout.flush();
    }
    return 0;
}
