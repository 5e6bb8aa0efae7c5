// Resources of an executable file through the Win32 resource functions: read with the
// file loaded as a data file, written with BeginUpdateResource / EndUpdateResource.
#include "platform/ResourceEditor.h"

#include "platform/win32/Handles.h"
#include "platform/win32/Errors.h"

#include <windows.h>

#include <stdexcept>

namespace Folio::Platform {

namespace {

using Win32::UniqueModule;

const wchar_t* NameOf(const ResourceName& n)
{
    return n.Name.empty() ? MAKEINTRESOURCEW(n.Id) : Win32::W(n.Name);
}

ResourceName FromPointer(LPCWSTR p)
{
    ResourceName n;
    if (IS_INTRESOURCE(p)) {
        n.Id = static_cast<uint16_t>(reinterpret_cast<ULONG_PTR>(p));
    } else {
        n.Name = Win32::U16(p);
    }
    return n;
}

struct Listing {
    std::vector<Resource>* Out;
    bool Failed = false;
};

BOOL CALLBACK OnLanguage(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR param) noexcept
{
    auto* listing = reinterpret_cast<Listing*>(param);
    try {
        Resource r;
        r.Type = FromPointer(type);
        r.Name = FromPointer(name);
        r.Language = language;
        if (HRSRC found = FindResourceExW(module, type, name, language)) {
            const DWORD size = SizeofResource(module, found);
            HGLOBAL loaded = LoadResource(module, found);
            const void* bytes = loaded ? LockResource(loaded) : nullptr;
            if (bytes && size > 0) {
                r.Bytes.assign(static_cast<const char*>(bytes), size);
            }
        }
        listing->Out->push_back(std::move(r));
        return TRUE;
    } catch (...) {
        listing->Failed = true;
        return FALSE;
    }
}

BOOL CALLBACK OnName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param) noexcept
{
    EnumResourceLanguagesW(module, type, name, OnLanguage, param);
    return TRUE;
}

BOOL CALLBACK OnType(HMODULE module, LPWSTR type, LONG_PTR param) noexcept
{
    EnumResourceNamesW(module, type, OnName, param);
    return TRUE;
}

// Every resource of the file, or those of one type.
std::vector<Resource> List(const std::u16string& exePath, const ResourceName* type)
{
    UniqueModule module(LoadLibraryExW(Win32::W(exePath), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) {
        throw std::runtime_error("cannot read the resources of the executable: " + Win32::LastErrorText());
    }
    std::vector<Resource> out;
    Listing listing{&out};
    if (type) {
        EnumResourceNamesW(module.Get(), NameOf(*type), OnName, reinterpret_cast<LONG_PTR>(&listing));
    } else {
        EnumResourceTypesW(module.Get(), OnType, reinterpret_cast<LONG_PTR>(&listing));
    }
    if (listing.Failed) {
        throw std::runtime_error("cannot read the resources of the executable");
    }
    return out;
}

} // namespace

std::vector<Resource> ListResources(const std::u16string& exePath, uint16_t type)
{
    ResourceName t;
    t.Id = type;
    return List(exePath, &t);
}

void UpdateResources(const std::u16string& exePath, const std::vector<Resource>& changes)
{
    // The file is rewritten from the full list: some implementations (Wine's among them)
    // do not delete resources that the file already holds when asked to, so every
    // resource is removed and what stays is written back.
    std::vector<Resource> all = List(exePath, nullptr);
    for (const auto& c : changes) {
        std::erase_if(all, [&](const Resource& r) {
            return r.Type == c.Type && r.Name == c.Name && r.Language == c.Language;
        });
        if (!c.Delete) {
            all.push_back(c);
        }
    }

    HANDLE update = BeginUpdateResourceW(Win32::W(exePath), TRUE);
    if (!update) {
        throw std::runtime_error("cannot open the executable's resources for writing: " + Win32::LastErrorText());
    }
    for (const auto& r : all) {
        if (!UpdateResourceW(update, NameOf(r.Type), NameOf(r.Name), r.Language, const_cast<char*>(r.Bytes.data()),
                             static_cast<DWORD>(r.Bytes.size()))) {
            const std::string error = Win32::LastErrorText();
            EndUpdateResourceW(update, TRUE);
            throw std::runtime_error("cannot update a resource of the executable: " + error);
        }
    }
    if (!EndUpdateResourceW(update, FALSE)) {
        throw std::runtime_error("cannot write the executable's resources: " + Win32::LastErrorText());
    }
}

} // namespace Folio::Platform
