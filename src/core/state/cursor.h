#pragma once
// Cursor moves in the slots' photo lists, the list lookups by slot, and the path splitters.

#include "core/state/state.h"

namespace kps {

// Clamps the slot's cursor into its list, writes status field 0 and returns the current
// photo's path, or "*" for an empty list.
QString listbox(AppState& st, int a);

void IncIndex(AppState& st, int a);      // cursor + 1
void DecIndex(AppState& st, int a);      // cursor - 1, unless it is 0
void HomeIndex(AppState& st, int a);     // cursor := 0
void EndIndex(AppState& st, int a);      // cursor := count - 1
void Plus10Index(AppState& st, int a);   // cursor + 10
void Minus10Index(AppState& st, int a);  // cursor - 10
void listboxdelete(AppState& st, int a); // removes the entry under the cursor

// Position of the first entry whose file-name part equals that of s (exact compare), or -1.
int listboxkereso(const PhotoList& list, const QString& s);

QString levalasztofile(const QString& s); // text after the last separator, or ""
QString levalasztodir(const QString& s);  // text up to and including the last separator, or ""
QString levalasztokit(const QString& s);  // text from the last "." on, or ""

int mappaszinszam(const AppState& st, int slot); // colour mark of the slot, 0 for the Trash
void dirXindex(AppState& st, int slot, int i);   // sets the slot's cursor
QString dirXPeek(const AppState& st, int slot);  // folder path of the slot

} // namespace kps
