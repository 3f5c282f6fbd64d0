// What the Windows build takes from the system: the version resource, the audio device types,
// the roaming application-data folder and Windows' own rules for file names.

#include "presets/PresetFiles.h"
#include "presets/Preset.h"
#include "presets/PresetFileNames.h"

#include <juce_audio_devices/juce_audio_devices.h>

#include <gtest/gtest.h>

#include <windows.h>

namespace
{
    std::wstring versionString (const std::vector<char>& info, const wchar_t* key)
    {
        const auto path = std::wstring (L"\\StringFileInfo\\040904E4\\") + key;
        wchar_t* value = nullptr;
        UINT length = 0;

        if (! VerQueryValueW (info.data(), path.c_str(), reinterpret_cast<void**> (&value), &length) || value == nullptr)
            return L"(missing)";

        return value;
    }

    BOOL CALLBACK noteIcon (HMODULE, LPCWSTR, LPWSTR, LONG_PTR found)
    {
        *reinterpret_cast<bool*> (found) = true;
        return FALSE;
    }
}

TEST (WindowsProgram, CarriesTheVersionResourceAndNoIcon)
{
    const auto programPath = juce::File (TESSALINE_WINDOWS_PROGRAM).getFullPathName();
    const auto* program = programPath.toWideCharPointer();
    DWORD handle = 0;
    const auto size = GetFileVersionInfoSizeW (program, &handle);
    ASSERT_GT (size, 0u) << "no version resource";

    std::vector<char> info (size);
    ASSERT_TRUE (GetFileVersionInfoW (program, 0, size, info.data()));

    EXPECT_EQ (versionString (info, L"CompanyName"), L"Quillfen");
    EXPECT_EQ (versionString (info, L"FileDescription"), L"Tessaline");
    EXPECT_EQ (versionString (info, L"ProductName"), L"Tessaline");
    EXPECT_EQ (versionString (info, L"FileVersion"), L"1.0.0");
    EXPECT_EQ (versionString (info, L"ProductVersion"), L"1.0.0");

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE (VerQueryValueW (info.data(), L"\\", reinterpret_cast<void**> (&fixed), &length));
    EXPECT_EQ (fixed->dwFileVersionMS, 0x00010000u); // 1.0
    EXPECT_EQ (fixed->dwFileVersionLS, 0x00000000u); // .0.0

    auto* module = LoadLibraryExW (program, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE (module, nullptr);
    bool hasIcon = false;
    EnumResourceNamesW (module, MAKEINTRESOURCEW (14) /* RT_GROUP_ICON */, noteIcon, reinterpret_cast<LONG_PTR> (&hasIcon));
    FreeLibrary (module);
    EXPECT_FALSE (hasIcon);
}

TEST (WindowsProgram, OffersWasapisThreeDeviceTypesAndDirectSoundWithoutAsio)
{
    juce::AudioDeviceManager devices;
    juce::StringArray names;

    for (auto* type : devices.getAvailableDeviceTypes())
        names.add (type->getTypeName());

    names.sort (false);
    EXPECT_EQ (names.joinIntoString (" | "),
               "DirectSound | Windows Audio | Windows Audio (Exclusive Mode) | Windows Audio (Low Latency Mode)");
}

TEST (WindowsPresetFolder, IsInTheRoamingApplicationDataFolder)
{
    const auto folder = getPresetFolder().getFullPathName();
    EXPECT_TRUE (folder.endsWithIgnoreCase ("\\AppData\\Roaming\\Tessaline\\Presets")) << folder;
}

// Names that are legal on Linux but not as Windows file names: each preset still gets a file of
// its own in the presets folder, and reads back with its own name.
TEST (WindowsPresetFolder, EveryNameGetsAFileWindowsCanHold)
{
    const juce::StringArray names {
        "CON", "nul", "Com1", "lpt9.Wide", "aux ", "Tab\tand\nnewline", juce::String::repeatedString ("Long name ", 30),
        "Lead.Wide", "Lead.Narrow", "Prn-ish", "CONSOLE"
    };

    juce::StringArray fileNames;

    for (const auto& name : names)
    {
        Preset preset;
        preset.name = name;
        preset.cutoff = 1234.5f;
        savePresetToFolder (preset);

        const auto file = getPresetFileFor (name);
        SCOPED_TRACE (file.getFullPathName().toStdString());
        EXPECT_TRUE (file.existsAsFile());
        EXPECT_LT (file.getFullPathName().length() + PresetFileNames::temporarySuffixLength, 260);
        fileNames.addIfNotAlreadyThere (file.getFileName().toLowerCase());

        Preset read;
        ASSERT_TRUE (readPresetFile (file, read));
        EXPECT_EQ (read.name, name);
        EXPECT_EQ (read.cutoff, 1234.5f);
    }

    EXPECT_EQ (fileNames.size(), names.size()) << fileNames.joinIntoString (", ").toStdString();
}
