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
    static TApplication application;
    return application;
}

TLoadResult OpenPackage(TExeUtils& exe, TApplication& app)
{
    if (!exe.ExeHasAttachedStub()) {
        return TLoadResult::NothingAttached;
    }
    app.AppArchive.SetPassword(PackagePassword());
    // A package that cannot be held ends start-up as an unreadable one does, and
    // leaves no half-filled stream behind.
    auto unreadable = [&](std::string error) {
        app.Error = std::move(error);
        app.AppArchive.Close();
        app.Stream = {};
        return TLoadResult::PackageUnreadable;
    };
    try {
        exe.GetZipFromExe(app.Stream);
    } catch (const EFileError& e) {
        return unreadable(e.what());
    } catch (const std::bad_alloc&) {
        return unreadable("The package does not fit in memory");
    } catch (const std::length_error&) {
        return unreadable("The package does not fit in memory");
    }
    app.Stream.SetPosition(0);
    const ZipError error = app.AppArchive.Open(app.Stream.Bytes());
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
