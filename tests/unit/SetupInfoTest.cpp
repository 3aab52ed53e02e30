// Loading the local setup information file and merging component lists,
// against real files and the prefix's registry.
#include "app/Registry.h"
#include "app/SetupApp.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using testsupport::MakeScratchDir;
using testsupport::WriteFile;

static const char kProduct[] =
    "[Product]\r\nName=ZEP Client\r\nDestination=C:\\ZEP\r\nGroup=ZEP\r\nLocationsInfo=sites.ini\r\n"
    "BaseURL=http://127.0.0.1/setup\r\nSetupInfoLocation=info\r\n";

class SetupInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::GetCurrentDirectoryA(MAX_PATH, m_oldDir);
        m_dir = MakeScratchDir("setupinfo");
        ::SetCurrentDirectoryA(m_dir.c_str());
        DeleteRegValue(ZEP_CLIENT_KEY, "Path");
    }
    void TearDown() override {
        ::SetCurrentDirectoryA(m_oldDir);
        DeleteRegValue(ZEP_CLIENT_KEY, "Path");
    }
    static std::vector<std::string> Keys(CSetupApp& app) {
        std::vector<std::string> keys;
        for (auto& entry : app.m_mapComponents) keys.push_back(entry.first);
        return keys;
    }
    char m_oldDir[MAX_PATH] = "";
    std::string m_dir;
};

TEST_F(SetupInfoTest, LoadsProductSettingsAndTheLocalCatalogue) {
    ASSERT_TRUE(WriteFile("zepsetup.sif", std::string(kProduct) +
                                              "[Components]\r\nCore\r\nMaps\r\nTools\r\n"
                                              "[CompCore]\r\nName=Core files\r\nPkgInfo=core.ini\r\nVer=513\r\n"
                                              "[CompMaps]\r\nPkgInfoLocation=maps\r\nPkgInfo=maps.ini\r\n"
                                              "DependOn1=Core\r\nVer=-1\r\n"
                                              "[CompTools]\r\nDependOn1=Core\r\nVer=3\r\n"));
    CSetupApp app;
    ::SetEnvironmentVariableA("TEMP", "C:\\TempDir");
    ASSERT_TRUE(app.LoadSetupInfo());
    EXPECT_EQ("ZEP Client", app.m_strProductName);
    EXPECT_EQ("C:\\ZEP", app.m_strInstallDir);
    EXPECT_TRUE(app.m_bNewInstall);
    EXPECT_EQ("http://127.0.0.1/setup/", app.m_strBaseURL);
    EXPECT_EQ("C:\\TempDir", app.m_strTempDir);
    EXPECT_FALSE(app.m_strProgramsDir.empty());

    // Reverse order of the lines.
    EXPECT_EQ((std::vector<std::string>{"Tools", "Maps", "Core"}), Keys(app));
    CComponent* core = *app.m_mapComponents.Lookup("Core");
    CComponent* maps = *app.m_mapComponents.Lookup("Maps");
    CComponent* tools = *app.m_mapComponents.Lookup("Tools");
    EXPECT_EQ("Core files", core->m_strName);
    EXPECT_EQ(513, core->m_nVersion);
    EXPECT_EQ("maps", maps->m_strPkgInfoLocation);
    EXPECT_EQ(-1, maps->m_nVersion);
    // No PkgInfo: no dependency and no version, although both are written.
    EXPECT_EQ("Tools", tools->m_strName);
    EXPECT_EQ("", tools->m_strDependOn);
    EXPECT_EQ(-1, tools->m_nVersion);
    EXPECT_EQ(std::set<CComponent*>{maps}, core->m_mapDependents);
}

TEST_F(SetupInfoTest, RegistryPathReplacesDestinationAndSlashIsKept) {
    ASSERT_TRUE(WriteFile("zepsetup.sif",
                          "[Product]\r\nName=P\r\nGroup=G\r\nLocationsInfo=l\r\nBaseURL=http://h/a/\r\n"
                          "SetupInfoLocation=s\r\n[Components]\r\nA\r\n"));
    ASSERT_TRUE(WriteRegString(ZEP_CLIENT_KEY, "Path", "D:\\Installed"));
    CSetupApp app;
    ASSERT_TRUE(app.LoadSetupInfo());
    EXPECT_FALSE(app.m_bNewInstall);
    EXPECT_EQ("D:\\Installed", app.m_strInstallDir);
    EXPECT_EQ("http://h/a/", app.m_strBaseURL);
}

// The Product section with one key left out (value null) or given a value.
static std::string ProductWith(const char* key, const char* value) {
    const char* keys[] = {"Name", "Destination", "Group", "LocationsInfo", "BaseURL", "SetupInfoLocation"};
    std::string text = "[Product]\r\n";
    for (const char* name : keys) {
        if (std::strcmp(name, key) != 0)
            text += std::string(name) + "=x\r\n";
        else if (value)
            text += std::string(name) + "=" + value + "\r\n";
    }
    return text + "[Components]\r\nA\r\n";
}

TEST_F(SetupInfoTest, EveryRequiredValueIsRequired) {
    for (const char* key : {"Name", "Destination", "Group", "LocationsInfo", "BaseURL", "SetupInfoLocation"}) {
        ASSERT_TRUE(WriteFile("zepsetup.sif", ProductWith(key, "y")));
        CSetupApp complete;
        EXPECT_TRUE(complete.LoadSetupInfo()) << key;
        ASSERT_TRUE(WriteFile("zepsetup.sif", ProductWith(key, nullptr)));
        CSetupApp missing;
        EXPECT_FALSE(missing.LoadSetupInfo()) << key << " missing";
        // An empty value is the same as a missing one.
        ASSERT_TRUE(WriteFile("zepsetup.sif", ProductWith(key, "")));
        CSetupApp empty;
        EXPECT_FALSE(empty.LoadSetupInfo()) << key << " empty";
    }
    ASSERT_TRUE(WriteFile("zepsetup.sif", kProduct));
    CSetupApp noComponents;
    EXPECT_FALSE(noComponents.LoadSetupInfo());
}

TEST_F(SetupInfoTest, BadFilesFailOrLoadButNeverCrash) {
    CSetupApp missing;
    EXPECT_FALSE(missing.LoadSetupInfo());

    ASSERT_TRUE(WriteFile("zepsetup.sif", ""));
    CSetupApp empty;
    EXPECT_FALSE(empty.LoadSetupInfo());

    std::string binary;
    for (int i = 0; i < 70000; ++i) binary += char((i * 7919) & 0xFF);
    ASSERT_TRUE(WriteFile("zepsetup.sif", binary));
    CSetupApp garbage;
    EXPECT_FALSE(garbage.LoadSetupInfo());

    // A value over 1,023 characters is cut to them.
    std::string longName(3000, 'n');
    ASSERT_TRUE(WriteFile("zepsetup.sif", std::string(kProduct) + "[Components]\r\nA\r\n[CompA]\r\nName=" +
                                              longName + "\r\nPkgInfo=a.ini\r\n"));
    CSetupApp longValues;
    ASSERT_TRUE(longValues.LoadSetupInfo());
    EXPECT_EQ(1023u, (*longValues.m_mapComponents.Lookup("A"))->m_strName.size());
}

TEST_F(SetupInfoTest, OversizedComponentsSectionUsesWhatFits) {
    std::string text = std::string(kProduct) + "[Components]\r\n";
    for (int i = 0; i < 5000; ++i) text += "Component" + std::to_string(i) + "\r\n";
    ASSERT_TRUE(WriteFile("zepsetup.sif", text));
    CSetupApp app;
    ASSERT_TRUE(app.LoadSetupInfo());
    EXPECT_GT(app.m_mapComponents.GetCount(), 1000);
    EXPECT_LT(app.m_mapComponents.GetCount(), 5000);
    EXPECT_NE(nullptr, app.m_mapComponents.Lookup("Component0"));
    // No key is a fragment of a longer line.
    for (auto& entry : app.m_mapComponents) EXPECT_EQ(0u, entry.first.find("Component"));
}

TEST_F(SetupInfoTest, CyclesAndCaseTwinsAreAccepted) {
    ASSERT_TRUE(WriteFile("zepsetup.sif", std::string(kProduct) +
                                              "[Components]\r\nSelf\r\nA\r\nB\r\ncore\r\nCore\r\n"
                                              "[CompSelf]\r\nPkgInfo=s\r\nDependOn1=Self\r\n"
                                              "[CompA]\r\nPkgInfo=a\r\nDependOn1=B\r\n"
                                              "[CompB]\r\nPkgInfo=b\r\nDependOn1=A\r\n"
                                              "[CompCore]\r\nName=Shared section\r\n"));
    CSetupApp app;
    ASSERT_TRUE(app.LoadSetupInfo());
    CComponent* self = *app.m_mapComponents.Lookup("Self");
    EXPECT_EQ(1u, self->m_mapDependents.count(self));
    CComponent* a = *app.m_mapComponents.Lookup("A");
    CComponent* b = *app.m_mapComponents.Lookup("B");
    EXPECT_EQ(1u, a->m_mapDependents.count(b));
    EXPECT_EQ(1u, b->m_mapDependents.count(a));
    // Keys are case-sensitive; section names are not.
    ASSERT_NE(nullptr, app.m_mapComponents.Lookup("core"));
    ASSERT_NE(nullptr, app.m_mapComponents.Lookup("Core"));
    EXPECT_EQ("Shared section", (*app.m_mapComponents.Lookup("core"))->m_strName);
}

TEST_F(SetupInfoTest, MergeUpdatesInPlaceAndPutsNewKeysFirst) {
    ASSERT_TRUE(WriteFile("zepsetup.sif", std::string(kProduct) +
                                              "[Components]\r\nCore\r\nMaps\r\n"
                                              "[CompCore]\r\nPkgInfo=core.ini\r\nVer=256\r\n"
                                              "[CompMaps]\r\nPkgInfo=maps.ini\r\nDependOn1=Core\r\n"));
    CSetupApp app;
    ASSERT_TRUE(app.LoadSetupInfo());
    CComponent* core = *app.m_mapComponents.Lookup("Core");
    core->m_nInstalledVersion = 256;
    core->m_nState = 1;
    core->m_nAction = 2;

    ASSERT_TRUE(WriteFile("zep.sif", "[Components]\r\nNew1\r\nCore\r\nNew2\r\n"
                                     "[CompCore]\r\nName=Core 2\r\nPkgInfoLocation=c\r\nPkgInfo=core2.ini\r\nVer=512\r\n"
                                     "[CompNew1]\r\nPkgInfo=n1\r\nDependOn1=Core\r\n"
                                     "[CompNew2]\r\nPkgInfo=n2\r\nDependOn1=Nowhere\r\n"));
    ASSERT_TRUE(app.LoadComponents(".\\zep.sif"));
    EXPECT_EQ((std::vector<std::string>{"New2", "New1", "Maps", "Core"}), Keys(app));
    EXPECT_EQ(core, *app.m_mapComponents.Lookup("Core"));
    EXPECT_EQ("Core 2", core->m_strName);
    EXPECT_EQ("core2.ini", core->m_strPkgInfo);
    EXPECT_EQ(512, core->m_nVersion);
    EXPECT_EQ(256, core->m_nInstalledVersion);
    EXPECT_EQ(1, core->m_nState);
    EXPECT_EQ(2, core->m_nAction);
    EXPECT_EQ(2u, core->m_mapDependents.size());
    EXPECT_TRUE((*app.m_mapComponents.Lookup("New2"))->m_mapDependents.empty());

    // The same file again changes nothing.
    ASSERT_TRUE(app.LoadComponents(".\\zep.sif"));
    EXPECT_EQ(4, app.m_mapComponents.GetCount());
    EXPECT_EQ(2u, core->m_mapDependents.size());

    ASSERT_TRUE(WriteFile("empty.sif", "[Components]\r\n"));
    EXPECT_FALSE(app.LoadComponents(".\\empty.sif"));
    EXPECT_EQ(4, app.m_mapComponents.GetCount());
}
