#pragma once
// The clean-up at close: the undo folder keeps its last 500 photos and the Trash is emptied.

#include "core/drop/leftovers.h"
#include "core/state/state.h"

namespace kps {

// At close: trims the undo folder to 500 "*.jpg" (at most 1000 deletions) and deletes the
// Trash's "*.jpg". Skipped when there is no Trash folder, or when the Trash or its undo folder
// is also another slot's folder, whose photos must not go. With tarsfajlok on, every photo
// removed takes its companions (see companions.h) with it. Uses the Trash's list as scratch.
// Copy leftovers of the Trash and the undo folder (last changed before leftoversBefore) go
// in any case.
void shutdownCleanup(AppState& st, std::time_t leftoversBefore = leftoverCutoff());

} // namespace kps
