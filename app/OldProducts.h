// The single-program products that came before the components: found by
// their uninstall entries, and removed by their own uninstallers if the user
// agrees.
#pragma once
#include <string>
#include <utility>
#include <vector>

class CSetupRun;

// Name and uninstall command of each old product found, in the order their
// uninstallers are started.
std::vector<std::pair<std::string, std::string>> FindOldProducts();

// The program an uninstall command starts and the parameters it passes.
struct CUninstallCommand {
    std::string m_strProgram;
    std::string m_strParameters;
};
CUninstallCommand SplitUninstallCommand(const std::string& command);

// Asks once whether to start the uninstallers of the products found, and
// starts them without waiting for them; a run without a person only logs them.
void DetectOldProducts(CSetupRun& run);
