// Removal of the components marked for it: what their install logs list,
// their install folders when empty, and their registry records.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class CComponent;
class CSetupRun;

// What a removal reports as it goes; each does nothing unless overridden.
class CRemovalSteps {
public:
    virtual void OnRemovingComponent(const CComponent&) {}
    virtual void OnDeletingFile(const std::string& /*path*/) {}

protected:
    ~CRemovalSteps() = default;
};

// Removes every component of the catalogue whose action is remove, in the
// catalogue's order; returns the install log records it left alone because
// they lead elsewhere than a file of the product.
std::vector<std::string> RemoveMarkedComponents(CSetupRun& run, CRemovalSteps& steps);
// Removes what the component's install log lists, its install folder when
// empty, and its registry record; returns 1. The registry record goes also
// when the record names no log: the component then counts as removed. A log
// refused (missing, or changed after the install) removes nothing and keeps
// the record: the run counts the component in m_nRemovalsRefused.
int RemoveComponent(CSetupRun& run, const std::string& key, CComponent* pComp, CRemovalSteps& steps,
                    std::vector<std::string>& skippedRecords);
// 1 when the component's log was read and its files removed, 0 when it has
// none or it cannot be opened; bRefused is set when a log was refused.
int RemoveLoggedFiles(CSetupRun& run, const std::string& key, CComponent* pComp, CRemovalSteps& steps,
                      std::vector<std::string>& skippedRecords, bool& bRefused);
// Bytes of the files the component's install log records, as they are on
// disk now; 0 when it has no log that can be read.
int64_t LoggedFileBytes(const std::string& key);
