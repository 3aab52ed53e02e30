// The selection rules without a window: clicks on a catalogue, the view
// that answers their questions and records what they showed.
#include "select/ComponentStates.h"

#include <gtest/gtest.h>

#include <deque>
#include <set>

namespace {

// Answers the dependents question as told and records what it was shown and asked.
struct RecordingView : CSelectionView {
    bool answer = false;
    std::string asked;
    std::set<const CComponent*> shown;
    void ShowSelection(const CComponent& comp) override { shown.insert(&comp); }
    bool ConfirmDependentsRemoved(const CComponent& comp) override {
        asked += comp.m_strName;
        return answer;
    }
};

// {name, catalogue version, installed version, prerequisite}, with the
// states a run that is no first install starts from.
struct Catalogue {
    std::deque<CComponent> records;
    CComponentMap map;
    Catalogue(std::initializer_list<std::tuple<const char*, int, int, const char*>> components) {
        for (const auto& [name, version, installed, dependOn] : components) {
            CComponent& comp = records.emplace_back();
            comp.m_strName = name;
            comp.m_nVersion = version;
            comp.m_nInstalledVersion = installed;
            comp.m_strDependOn = dependOn;
            Preselect(comp, false);
            map.SetAt(name, &comp);
        }
        for (CComponent& comp : records)
            if (CComponent** prerequisite = map.Lookup(comp.m_strDependOn)) (*prerequisite)->m_mapDependents.insert(&comp);
    }
    std::string Actions() const {
        std::string actions;
        for (const CComponent& comp : records) actions += "," + ActionWord(comp.m_nAction);
        return actions.substr(1);
    }
};

}  // namespace

// One click after another, each row on the state the rows before left; a
// question is asked only where an installed or chosen dependent would go,
// and every component whose box or action changed is shown.
TEST(SelectionRules, ClicksFollowTheDependencyRules) {
    Catalogue catalogue({{"Base", 513, 512, "Nowhere"}, {"Core", 513, 600, "Base"}, {"Tools", 513, 0, "Core"},
                         {"Extra", 513, 0, "Tools"}, {"Docs", 513, 256, ""}, {"Loop1", 513, 0, "Loop2"},
                         {"Loop2", 513, 0, "Loop1"}, {"Orphan", 513, 0, "Loop1"}, {"New", 256, 0, ""}});
    ASSERT_EQ("upgrade,,,,upgrade,,,,install", catalogue.Actions());
    const struct {
        int index;
        bool answer;
        const char *asked, *actions;
    } clicks[] = {
        {3, false, "", "upgrade,,install,install,upgrade,,,,install"},
        {1, false, "Core", "upgrade,,install,install,upgrade,,,,install"},
        {1, true, "Core", "upgrade,remove,,,upgrade,,,,install"},
        {0, true, "", "remove,remove,,,upgrade,,,,install"},  // its dependent is leaving anyway
        {1, true, "", ",,,,upgrade,,,,install"},              // unmarking clears the chain's marks
        {4, false, "", ",,,,remove,,,,install"},
        {4, false, "", ",,,,,,,,install"},
        {4, false, "", ",,,,upgrade,,,,install"},
        {5, false, "", ",,,,upgrade,install,install,,install"},  // the chain ends where it began
        {6, true, "Loop2", ",,,,upgrade,,,,install"},
        {7, false, "", ",,,,upgrade,install,install,install,install"},  // none of the three installed
        {2, false, "", ",,install,,upgrade,install,install,install,install"},  // installed prerequisites stay
    };
    for (const auto& c : clicks) {
        SCOPED_TRACE(std::string("to ") + c.actions);
        std::vector<std::pair<int, int>> before;
        for (const CComponent& comp : catalogue.records) before.emplace_back(comp.m_nState, comp.m_nAction);
        RecordingView view;
        view.answer = c.answer;
        ClickComponent(catalogue.records[c.index], catalogue.map, view);
        EXPECT_EQ(c.asked, view.asked);
        EXPECT_EQ(c.actions, catalogue.Actions());
        for (size_t i = 0; i < before.size(); ++i) {
            const CComponent& comp = catalogue.records[i];
            const bool changed = before[i] != std::make_pair(comp.m_nState, comp.m_nAction);
            EXPECT_TRUE(!changed || view.shown.count(&comp)) << comp.m_strName << " changed unseen";
        }
    }
    const CSelectionCounts counts = CountSelection(catalogue.map);
    EXPECT_EQ("6 0 1", std::to_string(counts.m_nToInstall) + " " + std::to_string(counts.m_nToRemove) + " " +
                           std::to_string(counts.m_bAnySelected));
}

TEST(SelectionRules, RemovingTheFirstOfTenThousandInstalledInARingMarksEveryOther) {
    std::vector<CComponent> ring(10000);
    for (size_t i = 0; i < ring.size(); ++i) ring[i].m_mapDependents.insert(&ring[(i + 1) % ring.size()]);
    for (CComponent& comp : ring) comp.m_nInstalledVersion = 1;
    RecordingView view;
    MarkDependentsRemoved(ring[0], view);
    for (size_t i = 1; i < ring.size(); ++i) ASSERT_EQ(STATE_REMOVE, ring[i].m_nState) << i;
    EXPECT_EQ(ring.size() - 1, view.shown.size());
}

// Each row from the preselection of a computer with Base and Core
// installed (Core upgradable); named keys replace that preselection.
TEST(SelectionRules, NamedComponentsReplaceThePreselection) {
    const struct {
        std::vector<std::string> install, remove;
        const char* actions;
        bool baseCutShort = false;
    } rows[] = {
        {{}, {}, ",upgrade,,install"},
        {{"Extra"}, {}, ",,install,install"},  // its prerequisite is marked along
        {{"eXTRA"}, {"base"}, "remove,remove,,"},  // keys in any case, as the switches
        {{"Base"}, {}, ",,,"},                 // already current: nothing to do
        {{}, {"Base"}, "remove,remove,,"},     // its dependents leave with it
        {{"Extra"}, {"Core"}, ",remove,,"},    // a removal takes what needs it along
        {{"Tools"}, {"Nowhere"}, ""},          // an unknown key changes nothing
        {{"Extra"}, {}, "upgrade,,install,install", true},  // a prerequisite cut short is installed again
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.actions);
        Catalogue catalogue({{"Base", 513, 513, ""}, {"Core", 513, 512, "Base"}, {"Tools", 513, 0, "Core"},
                             {"Extra", 513, 0, "Tools"}});
        catalogue.records[3].m_nState = STATE_INSTALL, catalogue.records[3].m_nAction = ACTION_INSTALL;
        catalogue.records[0].m_bCutShort = row.baseCutShort;
        RecordingView view;
        std::string unknown;
        const bool known = SelectByKeys(catalogue.map, row.install, row.remove, view, unknown);
        EXPECT_EQ(*row.actions == '\0' ? "Nowhere" : "", unknown);
        EXPECT_EQ(known, *row.actions != '\0');
        if (known) {
            EXPECT_EQ(row.actions, catalogue.Actions());
        }
    }
}
