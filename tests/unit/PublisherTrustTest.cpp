// The publisher's signature: which components list, sites list and package
// info files a run uses once the local setup information file names a key,
// laid out in the download folder as a fetch or a carried folder leaves them.
#include "app/Registry.h"
#include "app/SetupApp.h"
#include "support/PackageTestFiles.h"
#include "support/SetupRun.h"
#include "support/TestPublisher.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using testsupport::CTestPublisher;
using testsupport::WriteFile;

namespace {

const char kSerial[] = "20261208093000", kUsed[] = "merged info sites 20261208093000";

// The list adds the component Extra; Core's package info names its one file's hash.
struct CSignedFolder {
    std::string local, dl, keys;  // keys: the local file's key lines
    const CTestPublisher* pSigner;
    std::string CoreInfo(bool hashed) const {
        return testsupport::PackageInfoFile({{"core.dat", 4}}) +
               (hashed ? "[Hashes]\r\ncore.dat=" + std::string(64, 'a') + "\r\n" : "");
    }
    // Signed with the hashes of more files first.
    void Lay(std::vector<std::string> signedFiles = {}, bool hashed = true) const {
        WriteFile(dl + "zep.sif", testsupport::SetupInfo("Extra\r\n", testsupport::ComponentSection("Extra", 256)));
        WriteFile(dl + "sites.ini", "[Regions]\r\n1=Europe\r\n[Locations]\r\nhttp://127.0.0.1:9/=1,Nowhere\r\n");
        WriteFile(dl + "Core.pki", CoreInfo(hashed));
        signedFiles.insert(signedFiles.end(), {dl + "sites.ini", dl + "Core.pki"});
        pSigner->Sign(dl + "zep.sif", signedFiles, kSerial);
    }
    void Append(const std::string& name, const std::string& text) const {
        WriteFile(dl + name, testsupport::FileText(dl + name) + text);
    }
};

const CTestPublisher& Other() {
    static const CTestPublisher other;
    return other;
}

// What the run made of the folder: the list merged, Core's package info
// loaded, the sites list loaded, the serial remembered.
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

void StoreSerial(const char* serial) { WriteRegString(ZEP_CLIENT_KEY, "ReleaseSerial", serial); }

}  // namespace

TEST(PublisherTrust, OnlyWhatThePublisherSignedIsUsed) {
    const CTestPublisher& publisher = testsupport::RoadPublisher();
    const std::string fixture = ::getenv("ZEP_SIGNED_FIXTURE") ? ::getenv("ZEP_SIGNED_FIXTURE") : "";
    const struct {
        const char* name;
        std::function<void(CSignedFolder&)> change;
        const char* outcome;
    } rows[] = {
        {"good", [](CSignedFolder&) {}, kUsed},
        {"another key", [](CSignedFolder& f) { f.pSigner = &Other(); }, "refused -"},
        {"rotated key", [&](CSignedFolder& f) { f.keys = Other().KeyLine() + publisher.KeyLine("PublicKey2"); }, kUsed},
        {"list changed", [](CSignedFolder& f) { f.Append("zep.sif", "[CompExtra]\r\nVer=999\r\n"); }, "refused -"},
        {"no signature", [](CSignedFolder& f) { ::DeleteFileA((f.dl + "zep.sif.sig").c_str()); }, "refused -"},
        {"older serial", [](CSignedFolder&) { StoreSerial("20261208093001"); }, "refused 20261208093001"},
        {"same serial", [](CSignedFolder&) { StoreSerial(kSerial); }, kUsed},
        {"newer serial", [](CSignedFolder&) { StoreSerial("999"); }, kUsed},
        // Hashes well past what one profile read of a section takes by default.
        {"a thousand files",
         [](CSignedFolder& f) {
             std::vector<std::string> files;
             for (int i = 0; i < 1000; ++i) files.push_back(f.dl + "f" + std::to_string(i) + ".pki");
             for (const std::string& file : files) WriteFile(file, "");
             f.Lay(files);
         },
         kUsed},
        // Planted with hashes of its own for a package file of its own.
        {"package info changed", [](CSignedFolder& f) { f.Append("Core.pki", "evil.dat=" + std::string(64, 'b')); },
         "merged sites 20261208093000"},
        {"sites list changed", [](CSignedFolder& f) { f.Append("sites.ini", "http://evil/=1,Evil\r\n"); },
         "merged info 20261208093000"},
        {"package file without hash", [](CSignedFolder& f) { f.Lay({}, false); }, "merged sites 20261208093000"},
        // Files the local setup information file vouches for need no list.
        {"local hashes",
         [](CSignedFolder& f) {
             ::DeleteFileA((f.dl + "zep.sif").c_str());
             f.keys += "[Hashes]\r\nCore.pki=" + testsupport::Sha256Text(f.CoreInfo(true)) + "\r\n";
         },
         "refused info -"},
        {"no key", [](CSignedFolder& f) { f.Append("zep.sif", "\r\n"), f.keys.clear(); }, "merged info sites -"},
        // Signed by the publisher's tool.
        {"zeppack",
         [&](CSignedFolder& f) {
             for (const char* name : {"zep.sif", "zep.sif.sig", "sites.ini"})
                 ::CopyFileA((fixture + "\\" + name).c_str(), (f.dl + name).c_str(), FALSE);
             f.keys = testsupport::FileText(fixture + "\\public.txt");
         },
         "merged sites 20261208093000"},
    };
    for (const auto& row : rows) {
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
