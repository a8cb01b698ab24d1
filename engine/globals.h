// Program-wide values of the sprite and widget engine.
#pragma once

struct SDL_Surface;
class KBIBLIO;

/// The display surface returned by SDL_SetVideoMode.
extern SDL_Surface* screen;
/// 2048 x 2048 off-screen drawing surface of the software path.
extern SDL_Surface* buffer;
/// 2048 x 2048 background surface of the software path.
extern SDL_Surface* fond_image;
/// The one image library of the program, made by KEL_ENGINE_Init or initGL.
extern KBIBLIO* bibliotheque_graphique;
/// Scroll offsets of the patch area, pixels; every GL primitive subtracts them.
extern int offsx;
extern int offsy;
