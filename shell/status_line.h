// The window's status line: the latest news for the user (a patching message,
// the sound output chosen without a terminal, ...), shown for a while.
#pragma once

/// Shows text (copied, cut to fit) on the status line for a while, in place of
/// older news. Called from the control thread only.
void status_message(const char* text);
/// The news to show now: a recent patching message first, else a recent
/// status_message; "" for none.
const char* window_status();
