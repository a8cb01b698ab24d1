// Reloading a patch while it plays, without ever losing the one that plays.
#pragma once

class GENERATOR;

/// Loads path into target (the playing patch or one of its sub-patches) only
/// after a trial load of the file has succeeded; a missing or malformed file
/// prints why and leaves the patch as it was (false). On success the audio is
/// held (CALLBACK_READY is 0) and stays held: the caller rebuilds what showed
/// the old modules, then raises CALLBACK_READY again.
bool reload_patch(GENERATOR* target, const char* path);
/// Empties target (a new patch), holding the audio as reload_patch does.
void reload_patch_empty(GENERATOR* target);
