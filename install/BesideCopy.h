// A file of record or of the product is never written in place: its new
// bytes go to a copy beside it, which one move then puts in its place. A run
// cut short at any moment leaves the old file or the new one, whole.
#pragma once
#include <windows.h>

#include <string>

// Where the new copy of target waits to take its place.
std::string BesideName(const std::string& target);
// Copies source beside target, in place of any copy an earlier run left
// there; a copy that fails is deleted. ERROR_SUCCESS or the platform's error.
DWORD CopyBeside(const std::string& source, const std::string& target);
// Puts the copy beside target in its place, in one move.
DWORD MoveBesideOver(const std::string& target);
// Both steps; the copy is deleted when the move fails.
DWORD ReplaceByCopy(const std::string& source, const std::string& target);
