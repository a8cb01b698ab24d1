// News for the player: what a load, a save or a refused name has to say.
// It is printed on the console as it always was, and handed to the window
// (its status line) when one is open. Called from the control thread only:
// never from the audio path.
#pragma once

/// Prints the printf-style text on standard output (flushed) and passes it,
/// without its trailing newline, to the window's news sink when one is set.
void news(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

/// Where news goes besides the console (the window's status line); null for nowhere.
using NEWS_SINK = void (*)(const char* line);
void set_news_sink(NEWS_SINK sink);
