// The one way the program ends itself on a failure it cannot go on from
// (an unreadable sample, a malformed patch file, ...).
#pragma once

/// A replacement for the default ending; it may throw instead of returning.
using exit_handler = void (*)(int status);

/// Ends the process with status through the current handler. When the handler
/// returns, the process ends anyway (std::exit).
[[noreturn]] void kel_exit(int status);

/// Installs handler (null: the default, std::exit) and returns the one it replaces.
/// Tests install a handler that throws, to see the status without ending.
exit_handler set_exit_handler(exit_handler handler);
