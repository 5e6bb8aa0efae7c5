// The keys of section [App] in "kiv.ini", with their types: what the runtime reads and
// what the packer checks before it builds a package.
#pragma once

#include <span>
#include <string_view>

namespace Folio::Shared {

enum class TSettingType { String, Integer, Boolean };

struct TSettingKey {
    std::u16string_view Name;
    TSettingType Type;
    bool Required; // an empty or missing value stops the runtime at start
};

inline constexpr TSettingKey kSettingKeys[] = {
    {u"ID", TSettingType::String, true},
    {u"Name", TSettingType::String, true},
    {u"DirName", TSettingType::String, true},
    {u"IndexHtml", TSettingType::String, false},
    {u"Theme", TSettingType::String, false},
    {u"WebviewArguments", TSettingType::String, false},
    {u"EdgeInstaller", TSettingType::Boolean, false},
    {u"InstallFormColor", TSettingType::Integer, false},
    {u"InstallIndicatorColor", TSettingType::Integer, false},
    {u"InstallIndicatorType", TSettingType::Integer, false},
    {u"Password", TSettingType::String, false},
    {u"AllowInstances", TSettingType::Boolean, false},
    {u"AllowDebug", TSettingType::Boolean, false},
    {u"AllowZoom", TSettingType::Boolean, false},
    {u"AllowContextMenu", TSettingType::Boolean, false},
    {u"Top", TSettingType::Integer, false},
    {u"Left", TSettingType::Integer, false},
    {u"Width", TSettingType::Integer, false},
    {u"Height", TSettingType::Integer, false},
    {u"MaxWidth", TSettingType::Integer, false},
    {u"MaxHeight", TSettingType::Integer, false},
    {u"MinWidth", TSettingType::Integer, false},
    {u"MinHeight", TSettingType::Integer, false},
    {u"WindowPosition", TSettingType::Integer, false},
    {u"WindowStyle", TSettingType::Integer, false},
    {u"WindowBorder", TSettingType::Integer, false},
    {u"WindowState", TSettingType::Integer, false},
    {u"WindowOrder", TSettingType::Integer, false},
    {u"DynamicAppTitle", TSettingType::Boolean, false},
    {u"RememberWindow", TSettingType::Boolean, false},
};

} // namespace Folio::Shared
