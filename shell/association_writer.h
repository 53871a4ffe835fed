#pragma once
// Registers every extension of the format table with a product ProgID and offers it in the
// extension's "Open with" list, and points the selected ones at the product machine-wide and,
// before Windows 8, in the user's explorer choice.
#include "framework/failure_tally.h"

// Which registry paths the association writer takes on this Windows.
struct AssociationPlatform {
    bool vistaClass = true;  // capabilities, explorer choice and every member's keys
    bool xpClass = false;    // per-user FileExts ProgID instead of the machine-wide default
    bool protectedChoice = false;  // Windows 8 and later: the explorer choice is the user's alone
};

// The 64-bit build always takes the full path; the 32-bit build asks Windows once.
AssociationPlatform ClassifyAssociationPlatform();

// Each key or value that cannot be written goes to `failures`; 1 when it stayed empty.
// `assocAllUsers` matters only on XP-class Windows. Not `confirmed` (the user answered No to the
// association question): every ProgID and capability is still written, but no extension is
// pointed at the product, not even the three that otherwise always are.
// Without `userKeys` nothing goes to HKEY_CURRENT_USER (the running account is not the user's):
// no explorer choice and no store-app block; XP-class Windows then takes the machine-wide default.
int WriteAssociations(const wchar_t* openCommand, const wchar_t* executable, const int* assocSelection,
                      bool associate, bool assocAllUsers, bool confirmed, bool userKeys, FailureTally& failures);
