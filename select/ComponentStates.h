// What a component is (not installed, upgradable, current), what the user
// may choose for it, and the texts the lists show for it.
#pragma once
#include "app/Component.h"

#include <string>

enum { ACTION_NONE = 0, ACTION_INSTALL = 1, ACTION_UPGRADE = 2, ACTION_REMOVE = 3 };
enum { STATE_LEAVE = 0, STATE_INSTALL = 1, STATE_REMOVE = 2 };

enum class ComponentKind { NotInstalled, Upgradable, Current };
ComponentKind KindOf(const CComponent& comp);

// The text of the Action column.
std::string ActionWord(int nAction);
// The text of the Current state column.
std::string StateText(const CComponent& comp);

// One click on a component: its next selection state and action.
void ApplyClick(CComponent& comp);
