// Removes the components marked for removal as soon as it is shown.
#pragma once
#include "app/WizardPage.h"

#include <string>
#include <vector>

class CComponent;

class CRemovingPage : public CWizardPage {
public:
    CRemovingPage();

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    void OnPageStart() override;

private:
    void RemoveSelectedComponents();
    // Removes what the component's install log lists, its install folder when
    // empty, and its registry record; returns 1.
    int RemoveComponent(const std::string& key, CComponent* pComp);
    // 1 when the component's log was read and its files removed, 0 when it
    // has none or it cannot be opened.
    int RemoveLoggedFiles(const std::string& key, CComponent* pComp);
    // Deletes the file, showing its path while it goes.
    void DeleteShownFile(const std::string& path) const;
    void ShowProgressLines(int nCmdShow) const;

    // Records of the logs that lead elsewhere than a file of the product,
    // left alone and named once the removal is done.
    std::vector<std::string> m_skippedRecords;
};
