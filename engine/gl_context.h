// Whether an OpenGL context exists. Uploads, font rendering and GL deletes
// wait for it, so that tests, the software window and objects built before the
// display never call GL without a context.
#pragma once

/// True once initGL has opened its window and set the GL state.
bool gl_context_ready();
/// Set by initGL; cleared when the context goes away (SDL_Quit at exit).
void set_gl_context_ready(bool ready);
