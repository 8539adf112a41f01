// What Windows shows of each executable (Explorer's icon and its Details page) read back through the
// system's own calls: the icon, and version information from the project's one version.
#include "res/Version.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <shellapi.h> // after windows.h, which it needs

#include <QString>
#include <QStringList>

#include <vector>

namespace {

struct Executable {
    const char* name;
    const char* path;
    const char* description;
};

QString VersionValue(const std::vector<char>& info, const char* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring key = L"\\StringFileInfo\\040904B0\\" + QString::fromLatin1(name).toStdWString();
    if (!VerQueryValueW(info.data(), key.c_str(), &value, &length) || length == 0)
        return {};
    return QString::fromWCharArray(static_cast<const wchar_t*>(value), int(length) - 1);
}

class WindowsResourcesTest : public testing::TestWithParam<Executable> {};

TEST_P(WindowsResourcesTest, CarriesTheIconAndTheProjectsVersion) {
    const std::wstring path = QString::fromUtf8(GetParam().path).toStdWString();
    EXPECT_GT(ExtractIconExW(path.c_str(), -1, nullptr, nullptr, 0), 0u) << "no icon";

    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
    ASSERT_GT(size, 0u) << "no version information";
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));

    EXPECT_EQ(VersionValue(info, "FileVersion"), ExecutableVersion);
    EXPECT_EQ(VersionValue(info, "ProductVersion"), ExecutableVersion);
    EXPECT_EQ(VersionValue(info, "CompanyName"), "TALVOR");
    EXPECT_TRUE(VersionValue(info, "LegalCopyright").startsWith("Copyright (C) ")) << "no copyright";
    EXPECT_EQ(VersionValue(info, "FileDescription"), GetParam().description);
    EXPECT_EQ(VersionValue(info, "OriginalFilename"), QString(GetParam().name) + ".exe");
    EXPECT_EQ(VersionValue(info, "ProductName"), "TALVOR Net Config");

    // The numbers Windows compares: the project's version, padded with zeros.
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    QStringList fields = QString(ExecutableVersion).split('.');
    while (fields.size() < 4)
        fields << "0";
    EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), fields[0].toUInt());
    EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), fields[1].toUInt());
    EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), fields[2].toUInt());
    EXPECT_EQ(LOWORD(fixed->dwFileVersionLS), fields[3].toUInt());
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
}

INSTANTIATE_TEST_SUITE_P(
    Executables, WindowsResourcesTest,
    testing::Values(Executable{"TALVOR_EthernetConfig", TALVOR_UTILITY_EXE, "Network setup for TALVOR"},
                    Executable{"talvor-netcfg", TALVOR_NETCFG_EXE,
                               "Network setup for TALVOR from a command line"}),
    [](const auto& info) { return QString(info.param.name).remove('-').remove('_').toStdString(); });

} // namespace
