// Loading the local setup information file and merging component lists,
// against real files and the prefix's registry.
#include "app/Registry.h"
#include "app/SetupRun.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <vector>

using testsupport::MakeScratchDir;
using testsupport::WorkingFolder;
using testsupport::WriteFile;

namespace {

const char* const kRequired[] = {"Name", "Destination", "Group", "LocationsInfo", "BaseURL", "SetupInfoLocation"};
const char kProduct[] =
    "[Product]\r\nName=ZEP Client\r\nDestination=C:\\ZEP\r\nGroup=ZEP\r\nLocationsInfo=sites.ini\r\n"
    "BaseURL=http://127.0.0.1/setup\r\nSetupInfoLocation=info\r\n";

// The Product section with one required key left out (value null) or given a value.
std::string ProductWith(const std::string& key, const char* value) {
    std::string text = "[Product]\r\n";
    for (const char* name : kRequired) {
        if (key != name)
            text += std::string(name) + "=x\r\n";
        else if (value)
            text += key + "=" + value + "\r\n";
    }
    return text + "[Components]\r\nA\r\n";
}

CComponent* Component(CSetupRun& app, const char* key) {
    CComponent** found = app.m_mapComponents.Lookup(key);
    return found ? *found : nullptr;
}

// Each component in catalogue order: "key: name|package info location|package
// info|depends on|version", then "|" and the key of each of its dependents.
std::vector<std::string> Catalogue(CSetupRun& app) {
    std::map<const CComponent*, std::string> keys;
    for (auto& entry : app.m_mapComponents) keys[entry.second] = entry.first;
    std::vector<std::string> lines;
    for (auto& entry : app.m_mapComponents) {
        const CComponent& comp = *entry.second;
        std::set<std::string> dependents;
        for (const CComponent* pDependent : comp.m_mapDependents) dependents.insert(keys[pDependent]);
        lines.push_back(entry.first + ": " + comp.m_strName + "|" + comp.m_strPkgInfoLocation + "|" +
                        comp.m_strPkgInfo + "|" + comp.m_strDependOn + "|" + std::to_string(comp.m_nVersion));
        for (const std::string& key : dependents) lines.back() += "|" + key;
    }
    return lines;
}

}  // namespace

class SetupInfoTest : public ::testing::Test {
protected:
    void SetUp() override { DeleteRegValue(ZEP_CLIENT_KEY, "Path"); }
    void TearDown() override { DeleteRegValue(ZEP_CLIENT_KEY, "Path"); }
    WorkingFolder m_folder{MakeScratchDir("setupinfo")};
    // A run's application object after loading text as the setup information file.
    std::unique_ptr<CSetupRun> Load(const std::string& text, bool expectLoaded = true) {
        EXPECT_TRUE(WriteFile("zepsetup.sif", text));
        auto app = std::make_unique<CSetupRun>();
        EXPECT_EQ(expectLoaded, app->LoadSetupInfo()) << text.substr(0, 200);
        return app;
    }
};

TEST_F(SetupInfoTest, LoadsProductSettingsAndTheLocalCatalogue) {
    ::SetEnvironmentVariableA("TEMP", "C:\\TempDir");
    auto app = Load(std::string(kProduct) +
                    "[Components]\r\nCore\r\nMaps\r\nTools\r\n"
                    "[CompCore]\r\nName=Core files\r\nPkgInfo=core.ini\r\nVer=513\r\n"
                    "[CompMaps]\r\nPkgInfoLocation=maps\r\nPkgInfo=maps.ini\r\nDependOn1=Core\r\nVer=-1\r\n"
                    "[CompTools]\r\nDependOn1=Core\r\nVer=3\r\n");
    EXPECT_EQ("ZEP Client", app->m_strProductName);
    EXPECT_EQ("C:\\ZEP", app->m_strInstallDir);
    EXPECT_TRUE(app->m_bNewInstall);
    EXPECT_EQ("http://127.0.0.1/setup/", app->m_strBaseURL);
    EXPECT_EQ("C:\\TempDir", app->m_strTempDir);
    EXPECT_FALSE(app->m_strProgramsDir.empty());

    // Reverse order of the lines. Without PkgInfo no dependency and no
    // version, although both are written.
    EXPECT_EQ((std::vector<std::string>{"Tools: Tools||||-1", "Maps: Maps|maps|maps.ini|Core|-1",
                                        "Core: Core files||core.ini||513|Maps"}),
              Catalogue(*app));
}

// Every required value, missing or empty, fails the load; so does a file
// without components.
TEST_F(SetupInfoTest, EveryRequiredValueIsRequired) {
    for (const char* key : kRequired) {
        SCOPED_TRACE(key);
        Load(ProductWith(key, "y"));
        Load(ProductWith(key, nullptr), false);
        Load(ProductWith(key, ""), false);
    }
    Load(kProduct, false);
}

TEST_F(SetupInfoTest, OversizedValuesAndSectionsUseWhatFits) {
    // A value of 1,023 characters is used whole; a longer one counts as
    // missing, since a cut one would name another file or folder.
    const std::string fits(1023, 'f'), over(1024, 'o');
    auto app = Load(std::string(kProduct) + "[Components]\r\nA\r\nB\r\n[CompA]\r\nName=" + fits +
                    "\r\nPkgInfo=a.ini\r\n[CompB]\r\nName=" + over + "\r\nPkgInfo=" + over + "\r\n");
    EXPECT_EQ((std::vector<std::string>{"B: B||||-1", "A: " + fits + "||a.ini||-1"}), Catalogue(*app));
    EXPECT_EQ(fits, Load(ProductWith("Destination", fits.c_str()))->m_strInstallDir);
    Load(ProductWith("Destination", over.c_str()), false);
    // A recorded install folder replaces Destination, unless it is past the
    // limit. A base address that ends in a slash keeps its one slash.
    ASSERT_TRUE(WriteRegString(ZEP_CLIENT_KEY, "Path", fits.c_str()));
    app = Load(ProductWith("BaseURL", "http://h/a/"));
    EXPECT_FALSE(app->m_bNewInstall);
    EXPECT_EQ(fits, app->m_strInstallDir);
    EXPECT_EQ("http://h/a/", app->m_strBaseURL);
    // One of another scheme is none: nothing is fetched from it.
    EXPECT_EQ("", Load(ProductWith("BaseURL", "ftp://h/a"))->m_strBaseURL);
    ASSERT_TRUE(WriteRegString(ZEP_CLIENT_KEY, "Path", over.c_str()));
    EXPECT_EQ("C:\\New", Load(ProductWith("Destination", "C:\\New"))->m_strInstallDir);
    // A temporary folder past the platform's path limit is none either.
    ::SetEnvironmentVariableA("TEMP", ("C:\\" + std::string(MAX_PATH, 't')).c_str());
    ::SetEnvironmentVariableA("TMP", "C:\\Tmp");
    EXPECT_EQ("C:\\Tmp", Load(kProduct + std::string("[Components]\r\nA\r\n"))->m_strTempDir);
    ::SetEnvironmentVariableA("TEMP", "C:\\TempDir");

    std::string text = std::string(kProduct) + "[Components]\r\n";
    for (int i = 0; i < 5000; ++i) text += "Component" + std::to_string(i) + "\r\n";
    app = Load(text);
    EXPECT_GT(app->m_mapComponents.GetCount(), 1000);
    EXPECT_LT(app->m_mapComponents.GetCount(), 5000);
    EXPECT_NE(nullptr, Component(*app, "Component0"));
    // No key is a fragment of a longer line.
    for (auto& entry : app->m_mapComponents) EXPECT_EQ(0u, entry.first.find("Component")) << entry.first;
}

TEST_F(SetupInfoTest, CyclesAndCaseTwinsAreAccepted) {
    auto app = Load(std::string(kProduct) +
                    "[Components]\r\nSelf\r\nA\r\nB\r\ncore\r\nCore\r\n"
                    "[CompSelf]\r\nPkgInfo=s\r\nDependOn1=Self\r\n"
                    "[CompA]\r\nPkgInfo=a\r\nDependOn1=B\r\n"
                    "[CompB]\r\nPkgInfo=b\r\nDependOn1=A\r\n"
                    "[CompCore]\r\nName=Shared section\r\n");
    // Keys are case-sensitive; section names are not.
    EXPECT_EQ((std::vector<std::string>{"Core: Shared section||||-1", "core: Shared section||||-1", "B: B||b|A|-1|A",
                                        "A: A||a|B|-1|B", "Self: Self||s|Self|-1|Self"}),
              Catalogue(*app));
    // Keys name install logs and registry keys: only plain names are taken.
    app = Load(std::string(kProduct) + "[Components]\r\n..\\..\\Evil\r\nSub/Key\r\nC:x\r\nCON\r\nGood\r\n");
    EXPECT_EQ(std::vector<std::string>{"Good: Good||||-1"}, Catalogue(*app));
}

TEST_F(SetupInfoTest, MergeUpdatesInPlaceAndPutsNewKeysFirst) {
    auto app = Load(std::string(kProduct) +
                    "[Components]\r\nCore\r\nMaps\r\n"
                    "[CompCore]\r\nPkgInfo=core.ini\r\nVer=256\r\n"
                    "[CompMaps]\r\nPkgInfo=maps.ini\r\nDependOn1=Core\r\n");
    CComponent* core = Component(*app, "Core");
    core->m_nInstalledVersion = 256;
    core->m_nState = 1;
    core->m_nAction = 2;

    ASSERT_TRUE(WriteFile("zep.sif",
                          "[Components]\r\nNew1\r\nCore\r\nNew2\r\nMaps\r\n"
                          "[CompMaps]\r\nPkgInfo=maps.ini\r\nDependOn1=New1\r\n"
                          "[CompCore]\r\nName=Core 2\r\nPkgInfoLocation=c\r\nPkgInfo=core2.ini\r\nVer=512\r\n"
                          "[CompNew1]\r\nPkgInfo=n1\r\nDependOn1=Core\r\n"
                          "[CompNew2]\r\nPkgInfo=n2\r\nDependOn1=Nowhere\r\n"));
    // The same file twice: the second merge changes nothing.
    for (int merge = 0; merge < 2; ++merge) {
        ASSERT_TRUE(app->LoadComponents(".\\zep.sif"));
        EXPECT_EQ((std::vector<std::string>{"New2: New2||n2|Nowhere|-1", "New1: New1||n1|Core|-1|Maps",
                                            "Maps: Maps||maps.ini|New1|-1", "Core: Core 2|c|core2.ini||512|New1"}),
                  Catalogue(*app));
        EXPECT_EQ(core, Component(*app, "Core"));
        EXPECT_TRUE(core->m_nInstalledVersion == 256 && core->m_nState == 1 && core->m_nAction == 2)
            << "the merge lost what the run had found and chosen";
    }
    ASSERT_TRUE(WriteFile("empty.sif", "[Components]\r\n"));
    EXPECT_FALSE(app->LoadComponents(".\\empty.sif"));
    EXPECT_EQ(4, app->m_mapComponents.GetCount());
}
