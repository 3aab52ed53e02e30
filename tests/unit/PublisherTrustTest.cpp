// The publisher's signature: which components list, sites list and package
// info files a run uses once the local setup information file names a key,
// laid out in the download folder as a fetch or a carried folder leaves them.
#include "app/Registry.h"
#include "app/SetupApp.h"
#include "install/FileHash.h"
#include "select/PreparePackages.h"
#include "support/SetupRun.h"
#include "support/TestPublisher.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using testsupport::CTestPublisher;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

const char kSerial[] = "20261208093000";

// The signed folder: the list adds the component Extra, Core's package info
// names the hash of its one file.
struct CSignedFolder {
    std::string local, dl;
    std::string keys;  // the local file's key lines
    const CTestPublisher* pSigner;
    std::string CoreInfo(bool hashed) const {
        return testsupport::PackageInfoFile({{"core.dat", 4}}) +
               (hashed ? "[Hashes]\r\ncore.dat=" + std::string(64, 'a') + "\r\n" : "");
    }
    // Signed with the hashes of more files first.
    void Lay(std::vector<std::string> signedFiles = {}) const {
        WriteFile(dl + "zep.sif", testsupport::SetupInfo("Extra\r\n", testsupport::ComponentSection("Extra", 256)));
        WriteFile(dl + "sites.ini", "[Regions]\r\n1=Europe\r\n[Locations]\r\nhttp://127.0.0.1:9/=1,Nowhere\r\n");
        WriteFile(dl + "Core.pki", CoreInfo(true));
        signedFiles.insert(signedFiles.end(), {dl + "sites.ini", dl + "Core.pki"});
        pSigner->Sign(dl + "zep.sif", signedFiles, kSerial);
    }
};

const CTestPublisher& Other() {
    static const CTestPublisher other;
    return other;
}

void Append(const std::string& path, const std::string& text) {
    std::string bytes;
    ReadFile(path, bytes);
    WriteFile(path, bytes + text);
}

// What the run made of the folder: the list merged, Core's package info
// loaded, the sites list loaded, the serial remembered.
struct CTrustRow {
    const char* name;
    std::function<void(CSignedFolder&)> change;
    const char* outcome;
};

std::string Outcome(const CSignedFolder& folder) {
    CSetupApp& app = theApp;
    WriteFile(folder.local, "[Product]\r\n" + folder.keys);
    app.m_trust.LoadLocal(folder.local.c_str());
    app.MergeUpdatedComponents();
    const bool infoLoaded = app.LoadPackageInfos() == 0;
    const bool merged = app.m_mapComponents.Lookup("Extra") || app.m_mapComponents.Lookup("Base");
    return std::string(merged ? "merged" : "refused") + (infoLoaded ? " info" : "") +
           (app.LoadLocations() ? " sites " : " ") + testsupport::StoredText(ZEP_CLIENT_KEY, "ReleaseSerial");
}

}  // namespace

TEST(PublisherTrust, OnlyWhatThePublisherSignedIsUsed) {
    const CTestPublisher& publisher = testsupport::RoadPublisher();
    const std::string fixture = std::string(::getenv("ZEP_SIGNED_FIXTURE") ? ::getenv("ZEP_SIGNED_FIXTURE") : "");
    const CTrustRow rows[] = {
        {"good", [](CSignedFolder&) {}, "merged info sites 20261208093000"},
        {"another key", [](CSignedFolder& f) { f.pSigner = &Other(); }, "refused -"},
        {"rotated key", [&](CSignedFolder& f) { f.keys = Other().KeyLine() + publisher.KeyLine("PublicKey2"); },
         "merged info sites 20261208093000"},
        {"list changed", [](CSignedFolder& f) { Append(f.dl + "zep.sif", "[CompExtra]\r\nVer=999\r\n"); },
         "refused -"},
        {"no signature", [](CSignedFolder& f) { ::DeleteFileA((f.dl + "zep.sif.sig").c_str()); },
         "refused -"},
        {"older serial", [](CSignedFolder&) { WriteRegString(ZEP_CLIENT_KEY, "ReleaseSerial", "20261208093001"); },
         "refused 20261208093001"},
        {"same serial", [](CSignedFolder&) { WriteRegString(ZEP_CLIENT_KEY, "ReleaseSerial", kSerial); },
         "merged info sites 20261208093000"},
        // Hashes well past what one profile read of a section takes by default.
        {"a thousand files",
         [](CSignedFolder& f) {
             std::vector<std::string> files;
             for (int i = 0; i < 1000; ++i) files.push_back(f.dl + "f" + std::to_string(i) + ".pki");
             for (const std::string& file : files) WriteFile(file, "");
             f.Lay(files);
         },
         "merged info sites 20261208093000"},
        {"newer serial", [](CSignedFolder&) { WriteRegString(ZEP_CLIENT_KEY, "ReleaseSerial", "999"); },
         "merged info sites 20261208093000"},
        // Planted with hashes of its own for a package file of its own.
        {"package info changed",
         [](CSignedFolder& f) { WriteFile(f.dl + "Core.pki", f.CoreInfo(true) + "evil.dat=" +
                                                                   std::string(64, 'b') + "\r\n"); },
         "merged sites 20261208093000"},
        {"sites list changed", [](CSignedFolder& f) { Append(f.dl + "sites.ini", "http://evil/=1,Evil\r\n"); },
         "merged info 20261208093000"},
        {"package file without hash",
         [](CSignedFolder& f) { WriteFile(f.dl + "Core.pki", f.CoreInfo(false)); f.pSigner->Sign(f.dl + "zep.sif",
                                          {f.dl + "sites.ini", f.dl + "Core.pki"}, kSerial); },
         "merged sites 20261208093000"},
        // Files the local setup information file vouches for need no list.
        {"local hashes",
         [](CSignedFolder& f) {
             ::DeleteFileA((f.dl + "zep.sif").c_str());
             std::string info;
             ReadFile(f.dl + "Core.pki", info);
             CSha256 hash;
             hash.Add(info.data(), info.size());
             f.keys += "[Hashes]\r\nCore.pki=" + hash.FinishHex() + "\r\n";
         },
         "refused info -"},
        {"no key", [](CSignedFolder& f) { Append(f.dl + "zep.sif", "\r\n"); f.keys.clear(); },
         "merged info sites -"},
        // Signed by the publisher's tool.
        {"zeppack", [&](CSignedFolder& f) {
             for (const char* name : {"zep.sif", "zep.sif.sig", "sites.ini"})
                 ::CopyFileA((fixture + "\\" + name).c_str(), (f.dl + name).c_str(), FALSE);
             ReadFile(fixture + "\\public.txt", f.keys);
         }, "merged sites 20261208093000"},
    };
    for (const CTrustRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string dir = testsupport::MakeScratchDir(std::string("trust-") + row.name);
        testsupport::PrepareRun(dir, testsupport::SetupInfo("Core\r\n", testsupport::ComponentSection("Core", 256)),
                                {}, "", "setup");
        CSignedFolder folder{dir + "\\zepsetup.sif", theApp.m_strDownloadDir, publisher.KeyLine(), &publisher};
        folder.Lay();
        row.change(folder);
        if (folder.pSigner != &publisher) folder.Lay();
        EXPECT_EQ(row.outcome, Outcome(folder));
    }
}

// A fetched package info file that is not the publisher's never replaces
// the copy in the download folder.
TEST(PublisherTrust, FetchedPackageInfoIsCheckedBeforeItIsPlaced) {
    const CTestPublisher& publisher = testsupport::RoadPublisher();
    const std::string dir = testsupport::MakeScratchDir("trust-fetched");
    testsupport::PrepareRun(dir, testsupport::SetupInfo("Core\r\n", testsupport::ComponentSection("Core", 256)), {},
                            "", "setup");
    CSignedFolder folder{dir + "\\zepsetup.sif", theApp.m_strDownloadDir, publisher.KeyLine(), &publisher};
    folder.Lay();
    ASSERT_EQ("merged info sites 20261208093000", Outcome(folder));
    const std::string good = folder.CoreInfo(true);
    for (bool trusted : {false, true}) {
        WriteFile(folder.dl + "Core.pki", "gone");
        ASSERT_EQ(1, theApp.LoadPackageInfos());
        CInfoFetch fetch{"Core", "Core.pki", "", folder.dl + "Core.pki", folder.dl + "Core.pki.own", 256, true};
        WriteFile(fetch.m_strOwnPath, trusted ? good : good + "; tampered\r\n");
        EXPECT_EQ(trusted ? 0 : 1, ApplyPackageInfoFetches({fetch}, 1)) << trusted;
        std::string placed;
        ReadFile(folder.dl + "Core.pki", placed);
        EXPECT_EQ(trusted ? good : "gone", placed);
        EXPECT_FALSE(testsupport::FileExists(fetch.m_strOwnPath));
    }
}
