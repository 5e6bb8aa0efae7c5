// Start-up steps over the appended package (see ExeZipLoader.h).
#include "runtime/ExeZipLoader.h"

#include "package/Calculations.h"

namespace Folio::Runtime {

using namespace Folio::Shared;

TLoadResult LoadExeZip(TExeUtils& exe, TPackage& package)
{
    if (!exe.ExeHasAttachedStub()) {
        return TLoadResult::NothingAttached;
    }
    package.AppArchive.SetPassword(PackagePassword());
    try {
        exe.GetZipFromExe(package.Stream);
    } catch (const EFileError& e) {
        package.Error = e.what();
        return TLoadResult::PackageUnreadable;
    }
    package.Stream.SetPosition(0);
    const ZipError error = package.AppArchive.Open(package.Stream.Bytes());
    if (error != ZipError::None) {
        package.Error = ZipErrorMessage(error);
        return TLoadResult::ArchiveInvalid;
    }

    TMemoryStream ini;
    package.AppArchive.Extract(u"kiv.ini", ini);
    package.AppSettings.LoadFromBytes({reinterpret_cast<const char*>(ini.Bytes().data()), ini.Size()});
    if (ini.Size() == 0) {
        return TLoadResult::NoSettings;
    }
    package.AppID = package.AppSettings.ReadString(u"App", u"ID", u"");
    package.AppName = package.AppSettings.ReadString(u"App", u"Name", u"");
    package.AppDirName = package.AppSettings.ReadString(u"App", u"DirName", u"");
    package.AppIndexHtml = package.AppSettings.ReadString(u"App", u"IndexHtml", u"index.html");
    if (package.AppID.empty() || package.AppName.empty() || package.AppDirName.empty()) {
        return TLoadResult::IdentityMissing;
    }
    return TLoadResult::Loaded;
}

} // namespace Folio::Runtime
