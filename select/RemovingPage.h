// Removes the components marked for removal as soon as it is shown.
#pragma once
#include "app/WizardPage.h"
#include "select/Removal.h"

#include <string>

// A view of the removal: its lines show the component and file under way.
class CRemovingPage : public CWizardPage, private CRemovalSteps {
public:
    CRemovingPage();

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    void OnPageStart() override;

private:
    // Removes, then names the log records left alone (they lead elsewhere
    // than a file of the product).
    void RemoveSelectedComponents();
    void OnRemovingComponent(const CComponent& comp) override;
    void OnDeletingFile(const std::string& path) override;
    void ShowProgressLines(int nCmdShow) const;
};
