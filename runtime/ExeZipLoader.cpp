// Opening the appended package (see ExeZipLoader.h).
#include "runtime/ExeZipLoader.h"

#include "package/Calculations.h"
#include "package/SettingsCheck.h"

#include <new>
#include <stdexcept>

namespace Folio::Runtime {

using namespace Folio::Shared;

TApplication& Application()
{
    // Never destroyed: the browser's threads may still be reading a streamed entry of
    // the package while the process exits and its statics go; the system unmaps it.
    static TApplication& application = *new TApplication;
    return application;
}

TLoadResult OpenPackage(TExeUtils& exe, TApplication& app)
{
    if (!exe.ExeHasAttachedStub()) {
        return TLoadResult::NothingAttached;
    }
    app.AppArchive.SetPassword(PackagePassword());
    // A package that cannot be held ends start-up as an unreadable one does, and
    // leaves nothing mapped behind.
    auto unreadable = [&](std::string error) {
        app.Error = std::move(error);
        app.AppArchive.Close();
        app.Mapping.Close();
        return TLoadResult::PackageUnreadable;
    };
    // The package's pages are read from the file only when the archive touches them:
    // opening reads the directory, and each entry is read when it is served.
    std::span<const uint8_t> package;
    try {
        package = exe.MapZipFromExe(app.Mapping);
    } catch (const EFileError& e) {
        return unreadable(e.what());
    }
    const ZipError error = app.AppArchive.Open(package);
    if (error == ZipError::TooLarge) {
        return unreadable(ZipErrorMessage(error));
    }
    if (error != ZipError::None) {
        app.Error = ZipErrorMessage(error);
        return TLoadResult::ArchiveInvalid;
    }

    TMemoryStream ini;
    try {
        app.AppArchive.Extract(u"kiv.ini", ini);
        app.AppSettings.LoadFromBytes({reinterpret_cast<const char*>(ini.Bytes().data()), ini.Size()});
    } catch (const std::bad_alloc&) {
        return unreadable("The package's settings do not fit in memory");
    } catch (const std::length_error&) {
        return unreadable("The package's settings do not fit in memory");
    }
    if (ini.Size() == 0) {
        return TLoadResult::NoSettings;
    }
    app.AppID = app.AppSettings.ReadString(u"App", u"ID", u"");
    app.AppName = app.AppSettings.ReadString(u"App", u"Name", u"");
    app.AppDirName = app.AppSettings.ReadString(u"App", u"DirName", u"");
    app.AppIndexHtml = app.AppSettings.ReadString(u"App", u"IndexHtml", u"index.html");
    // The ID names a folder that may be deleted and a mutex: one that is not a plain
    // name must never reach the file system.
    if (app.AppID.empty() || app.AppName.empty() || app.AppDirName.empty() || !IsPlainAppId(app.AppID)) {
        return TLoadResult::IdentityMissing;
    }
    return TLoadResult::Loaded;
}

} // namespace Folio::Runtime
