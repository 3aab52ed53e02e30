// The platform's renames at the next restart, as far as this product's
// replaced files are concerned. A file in use is replaced at the restart by a
// copy waiting beside it; once that file is removed, or its install taken
// back, the rename would bring it back with no log or record to remove it by.
#pragma once
#include <string>
#include <vector>

// value is the platform's list as stored: pairs of zero-ended strings, the
// source, then the target ("!" before it when it replaces a file, "\??\"
// before a path, empty to delete the source), ended by an empty string.
// Returns the list without the renames onto one of targets whose source is
// the target's name with ".new~" or a ".tmp" file in the target's own
// folder, and appends those sources to
// droppedSources as plain paths. Letters compare in any case.
std::wstring WithoutReplacementsOf(const std::wstring& value, const std::vector<std::wstring>& targets,
                                   std::vector<std::wstring>& droppedSources);

// Takes back the pending replacements of these files and deletes the copies
// that waited for them.
void CancelPendingReplacements(const std::vector<std::string>& targets);
