// Tests of stored and environment layers in the stand-in engine.
#include "engine.h"

#include <gtest/gtest.h>

namespace {

const wchar_t* const LayersKey =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";

// A layer string stored for a path under a root, removed again at the end.
struct StoredLayer {
    HKEY root;
    std::wstring path;
    StoredLayer(HKEY where, const std::wstring& file, const std::wstring& layers)
        : root(where), path(file) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(root, LayersKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                            nullptr, &key, nullptr) == ERROR_SUCCESS) {
            RegSetValueExW(key, path.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(layers.c_str()),
                           static_cast<DWORD>((layers.size() + 1) * sizeof(wchar_t)));
            RegCloseKey(key);
        }
    }
    ~StoredLayer() {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, LayersKey, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key) ==
            ERROR_SUCCESS) {
            RegDeleteValueW(key, path.c_str());
            RegCloseKey(key);
        }
    }
};

// Sets the environment's layer variable for a scope, and removes it again.
struct CompatLayerVariable {
    explicit CompatLayerVariable(const wchar_t* value) {
        SetEnvironmentVariableW(L"__COMPAT_LAYER", value);
    }
    ~CompatLayerVariable() { SetEnvironmentVariableW(L"__COMPAT_LAYER", nullptr); }
};

std::wstring PermLayers(const std::wstring& path, DWORD flags, BOOL* result) {
    wchar_t buffer[128] = {0};
    DWORD size = sizeof buffer;
    *result = TheEngine().SdbGetPermLayerKeys(path.c_str(), buffer, &size, flags);
    return buffer;
}

std::vector<std::wstring> LayerNames(HSDB hsdb, const std::vector<BYTE>& record) {
    std::vector<std::wstring> names;
    for (DWORD i = 0; i < FieldAt(record, 172) && i < 8; ++i)
        names.push_back(NameOf(hsdb, FieldAt(record, 128 + 4 * i)));
    return names;
}

struct Layers : ::testing::Test {
    ScratchFolder folder;
    std::wstring file = folder.Write(L"layered.exe", std::vector<BYTE>(64, 'x'));
    ContextHolder context{TheEngine().SdbInitDatabaseEx(0, nullptr, 0x14C)};
    std::vector<BYTE> record = MarkedBuffer();

    BOOL Match(DWORD flags, LPCWSTR environment = nullptr) {
        record = MarkedBuffer();
        return TheEngine().SdbGetMatchingExe(context.hsdb, file.c_str(), nullptr, environment,
                                             flags, record.data());
    }
};

TEST_F(Layers, StoredLayersComeFromTheUserAndTheMachine) {
    BOOL result = FALSE;
    EXPECT_EQ(PermLayers(file, 3, &result), L"");
    EXPECT_FALSE(result);
    EXPECT_FALSE(Match(0));

    StoredLayer user(HKEY_CURRENT_USER, file, L"~ WinXPSp3");
    StoredLayer machine(HKEY_LOCAL_MACHINE, file, L"RunAsAdmin");
    EXPECT_EQ(PermLayers(file, 1, &result), L"~ WinXPSp3");
    EXPECT_TRUE(result);
    EXPECT_EQ(PermLayers(file, 2, &result), L"RunAsAdmin");
    EXPECT_TRUE(result);
    EXPECT_EQ(PermLayers(file, 3, &result), L"RunAsAdmin ~ WinXPSp3");
    EXPECT_TRUE(result);

    ASSERT_TRUE(Match(0));
    EXPECT_EQ(FieldAt(record, 168), 0u);
    EXPECT_EQ(LayerNames(context.hsdb, record),
              (std::vector<std::wstring>{L"RunAsAdmin", L"WinXPSp3"}));
    EXPECT_EQ(FieldAt(record, 192), 0u);
    EXPECT_EQ(FieldAt(record, 196), 1u);
}

// The size is in bytes both ways; a buffer too small is left alone and told the size.
TEST_F(Layers, PermLayerKeysReportsSizesInBytes) {
    StoredLayer user(HKEY_CURRENT_USER, file, L"Win7RTM");
    wchar_t buffer[8];
    std::fill(buffer, buffer + 8, L'#');
    DWORD size = 4;
    EXPECT_FALSE(TheEngine().SdbGetPermLayerKeys(file.c_str(), buffer, &size, 1));
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(buffer[0], L'#');
    size = 16;
    EXPECT_TRUE(TheEngine().SdbGetPermLayerKeys(file.c_str(), buffer, &size, 1));
    EXPECT_EQ(size, 16u);
    EXPECT_STREQ(buffer, L"Win7RTM");
}

TEST_F(Layers, EnvironmentLayersCountUnlessIgnored) {
    CompatLayerVariable variable(L"!#HighDpiAware NoSuchLayer");
    ASSERT_TRUE(Match(0));
    EXPECT_EQ(LayerNames(context.hsdb, record), (std::vector<std::wstring>{L"HighDpiAware"}));
    EXPECT_EQ(FieldAt(record, 192), 1u);
    EXPECT_FALSE(Match(1));
    EXPECT_EQ(FieldAt(record, 172), 0u);

    // A given environment block stands in for the process's.
    const wchar_t block[] = L"PATH=C:\\\0__compat_layer=Win7RTM\0";
    ASSERT_TRUE(Match(0, block));
    EXPECT_EQ(LayerNames(context.hsdb, record), (std::vector<std::wstring>{L"Win7RTM"}));
}

} // namespace
