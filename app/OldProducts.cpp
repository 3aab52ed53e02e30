#include "app/OldProducts.h"

#include "app/Registry.h"
#include "app/SetupRun.h"
#include "app/StringKeyMap.h"
#include "framework/WinApp.h"

#include <windows.h>
#include <shellapi.h>

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char* const kOldProducts[] = {"ZEP Classic", "ZEP Strategy", "ZEP Puzzle 2", "ZEP Arcade"};

// The old products were 32-bit programs: on 64-bit Windows this 64-bit
// program sees their entries only in the 32-bit view.
bool ReadUninstallString(const std::string& product, std::string& command) {
    const std::string key = kUninstallKey + product;
    for (REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_32KEY)})
        if (ReadRegPath(key.c_str(), "UninstallString", kRegPathLimit, command, view)) return true;
    return false;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> FindOldProducts() {
    CStringKeyMap<std::string> found;
    std::string command;
    for (const char* product : kOldProducts)
        if (ReadUninstallString(product, command)) found.SetAt(product, command);
    std::vector<std::pair<std::string, std::string>> products;
    for (const auto& entry : found) products.emplace_back(entry.first, entry.second);
    return products;
}

// Uninstall entries usually quote a program path with blanks in it; the
// program is then the quoted text, else the text before the first blank.
CUninstallCommand SplitUninstallCommand(const std::string& command) {
    CUninstallCommand split;
    size_t end = std::string::npos;
    if (!command.empty() && command[0] == '"') {
        end = command.find('"', 1);
        split.m_strProgram = command.substr(1, end == std::string::npos ? end : end - 1);
        if (end != std::string::npos) {
            split.m_strParameters = command.substr(end + 1);
            split.m_strParameters.erase(0, split.m_strParameters.find_first_not_of(' '));
        }
        return split;
    }
    end = command.find(' ');
    split.m_strProgram = command.substr(0, end);
    if (end != std::string::npos) split.m_strParameters = command.substr(end + 1);
    return split;
}

void DetectOldProducts(CSetupRun& run) {
    const auto products = FindOldProducts();
    if (products.empty()) return;
    // Another program's uninstaller would wait for a person who is not there.
    if (run.m_options.IsUnattended()) {
        for (const auto& product : products)
            run.m_log.Write("Old product found, its uninstaller is not run: " + product.first);
        return;
    }
    if (AfxMessageBox("Setup Wizard detected old versions of ZEP products installed on your computer.\n"
                      "It is STRONGLY recommended to UNINSTALL them right now.\n"
                      " Do you want Setup Wizard to start uninstall for these products?",
                      MB_YESNO) != IDYES)
        return;
    for (const auto& product : products) {
        const CUninstallCommand split = SplitUninstallCommand(product.second);
        ::ShellExecuteA(::GetDesktopWindow(), "open", split.m_strProgram.c_str(), split.m_strParameters.c_str(),
                        nullptr, SW_SHOWNORMAL);
    }
}
