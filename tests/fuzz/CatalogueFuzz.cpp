// Setup information files: the local one that starts the catalogue and the
// updated one from the setup web site merged into it. The input is the two
// files' texts, split at its first zero byte.
#include "FuzzCheck.h"
#include "IniText.h"
#include "app/Component.h"
#include "app/NumberText.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace {

// The values as the profile reader gives them: texts cut to the program's
// 1024-byte buffer, numbers read as its integer reader reads them.
class CIniComponentValues : public CComponentValues {
public:
    explicit CIniComponentValues(const CIniText& ini) : m_ini(ini) {}
    std::string Text(const std::string& section, const char* key) override {
        std::string value;
        m_ini.Value(section, key, value);
        return value.substr(0, 1023);
    }
    int Number(const std::string& section, const char* key, int fallback) override {
        std::string value;
        return m_ini.Value(section, key, value) && !value.empty() ? ParseDecimal(value.c_str()) : fallback;
    }

private:
    const CIniText& m_ini;
};

bool Merge(CComponentMap& catalogue, const std::string& text) {
    const CIniText ini(text);
    const std::string keys = ini.SectionBuffer("Components");
    CIniComponentValues values(ini);
    return MergeComponents(catalogue, keys.data(), keys.size() - 1, values);
}

// Every record with its fields and its dependents' keys, in iteration order.
std::vector<std::string> Snapshot(const CComponentMap& catalogue) {
    std::map<const CComponent*, std::string> keys;
    for (const auto& entry : catalogue) keys[entry.second] = entry.first;
    std::vector<std::string> records;
    for (const auto& entry : catalogue) {
        const CComponent& comp = *entry.second;
        std::string record = entry.first + '\n' + comp.m_strName + '\n' + comp.m_strPkgInfoLocation + '\n' +
                             comp.m_strPkgInfo + '\n' + comp.m_strDependOn + '\n' + std::to_string(comp.m_nVersion);
        for (const CComponent* pDependent : comp.m_mapDependents) {
            // Dependents are records of the catalogue that name this one now.
            const CComponent* const* pTarget = catalogue.Lookup(pDependent->m_strDependOn);
            Require(keys.count(pDependent) == 1 && pTarget && *pTarget == &comp);
            record += '\n' + keys[pDependent];
        }
        records.push_back(record);
    }
    return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    CComponentMap catalogue;
    Merge(catalogue, input.substr(0, split));
    const std::string updated = split == std::string::npos ? input : input.substr(split + 1);
    const bool merged = Merge(catalogue, updated);
    const std::vector<std::string> once = Snapshot(catalogue);
    // Merging the same file again changes nothing.
    Require(Merge(catalogue, updated) == merged && Snapshot(catalogue) == once);
    for (const auto& entry : catalogue) {
        CComponent* pComp = entry.second;
        Require(!pComp->m_strName.empty());
        CComponent** pTarget = catalogue.Lookup(pComp->m_strDependOn);
        Require(!pTarget || pComp->m_strDependOn.empty() || (*pTarget)->m_mapDependents.count(pComp) == 1);
    }
    for (auto& entry : catalogue) delete entry.second;
    return 0;
}
