// The resources built into zrv5.exe: the manifest that makes the process DPI-aware (without it
// Windows scales the screen size and the copies on high-DPI displays), shared with zrv5-exit.exe,
// and the version information.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_support.h"

namespace {

std::string manifest_of(const std::string& program) {
    HMODULE module = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) {
        return "";
    }
    std::string text;
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    if (resource != nullptr) {
        HGLOBAL loaded = LoadResource(module, resource);
        const char* bytes = static_cast<const char*>(LockResource(loaded));
        if (bytes != nullptr) {
            text.assign(bytes, SizeofResource(module, resource));
        }
    }
    FreeLibrary(module);
    return text;
}

TEST(ProgramResources, ManifestDeclaresTheProcessDpiAware) {
    const std::string manifest = manifest_of(e2e_paths().program);
    ASSERT_FALSE(manifest.empty()) << "no application manifest in " << e2e_paths().program;
    EXPECT_NE(manifest.find("<dpiAware"), std::string::npos);
    EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string::npos);
    EXPECT_NE(manifest.find("PerMonitorV2"), std::string::npos);
}

// A requested execution level would switch off UAC file virtualisation for one program and not the
// other, and then they would not see each other's profile writes.
TEST(ProgramResources, BothProgramsCarryTheSameManifestWithNoRequestedLevel) {
    const std::string program = e2e_paths().program;
    const std::string manifest = manifest_of(program);
    const std::string exit_program =
        program.substr(0, program.find_last_of('\\') + 1) + "zrv5-exit.exe";
    EXPECT_EQ(manifest_of(exit_program), manifest);
    EXPECT_EQ(manifest.find("<requestedExecutionLevel"), std::string::npos) << manifest;
    EXPECT_EQ(manifest.find("<trustInfo"), std::string::npos) << manifest;
}

TEST(ProgramResources, VersionInformationNamesTheProgram) {
    const std::string program = e2e_paths().program;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(program.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource";
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(program.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    char* name = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\OriginalFilename",
                               reinterpret_cast<void**>(&name), &length));
    EXPECT_STREQ(name, "zrv5.exe");
}

}  // namespace
