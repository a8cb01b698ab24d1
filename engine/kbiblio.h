// The image library: every picture of the interface, stored once as an SDL
// surface under a short name and drawn through an OpenGL texture of its own.
// It is filled from KIM files, text indexes that list picture files and cut
// sprite sheets into numbered tiles.
#pragma once

struct SDL_Surface;

/// Number of entries of an image library.
constexpr int KBIBLIO_CAPACITY = 400;
/// Size of an image name, terminator included.
constexpr int KBIBLIO_NAME_SIZE = 80;

/// Images by name. An image's index is its identity for the whole run: it is
/// never reused, not even after remove_image.
class KBIBLIO {
public:
    /// The images; owned by the library, kept for the whole run.
    SDL_Surface* images[KBIBLIO_CAPACITY];
    int widths[KBIBLIO_CAPACITY];                         ///< width given when added, pixels
    int heights[KBIBLIO_CAPACITY];                        ///< height given when added, pixels
    char names[KBIBLIO_CAPACITY][KBIBLIO_NAME_SIZE];      ///< image names, "" once removed
    /// Entries used: 0 .. image_count - 1 have been handed out (removed ones included).
    int image_count;

    /// An empty library.
    KBIBLIO();
    /// An empty library filled from the KIM file at path (see load_KIM).
    explicit KBIBLIO(const char* path);
    /// Releases nothing: the program's library lives as long as the program.
    ~KBIBLIO() = default;
    KBIBLIO(const KBIBLIO&) = delete;
    KBIBLIO& operator=(const KBIBLIO&) = delete;

    /// Index of the image called name (exact, case-sensitive), or -1.
    int get_index_image(const char* name) const;
    /// The surface of the image called name, or null.
    SDL_Surface* get_image(const char* name) const;
    /// Stores surface under name, or replaces the picture of an existing name
    /// (same index; the old surface is freed), and uploads it when a GL
    /// context exists. Returns 1, or 0 when the library is full.
    int add_image(const char* name, SDL_Surface* surface, int w, int h);
    /// Loads a picture file under name. Returns image_count when stored or when
    /// the name already exists (nothing loaded), 0 when the file cannot be
    /// loaded or the library is full.
    int load_image_and_store_it(const char* file, const char* name);
    /// The same with a surface made by the caller: image_count, or 0 for a null
    /// surface or a full library (the surface then stays the caller's).
    int load_image_and_store_it(SDL_Surface* surface, const char* name);
    /// Uploads the named image again after its pixels changed. 1, or 0 when unknown.
    int refresh_GLimage(const char* name);
    /// Takes the name out of every lookup. Frees nothing and keeps every index:
    /// the entry is never handed out again. 1, or -1 when unknown.
    int remove_image(const char* name);
    /// A new 24-bit surface (red 0xFF, green 0xFF00, blue 0xFF0000), not stored;
    /// the caller owns it. name is not used.
    SDL_Surface* create_empty_surface(int w, int h, const char* name);
    /// Reads a KIM file into the library. A file that cannot be opened or a
    /// SIMPLEPART picture that cannot be loaded ends the process (status -1).
    void load_KIM(const char* path);
    /// Uploads surface into GL texture name `texture` as 32-bit RGBA, with mipmaps
    /// when asked or when a side is not 64, 128 or 256. Needs a GL context.
    void myGL_CreateTextureFrom(SDL_Surface* surface, unsigned texture, float min_filter, float mag_filter,
                                bool mipmap);

    /// The GL texture of image index, for the drawing code; 0 when there is none
    /// (unknown or removed index, or no GL context yet). A picture added before
    /// the context existed, or changed since, is uploaded here first.
    unsigned get_texture(int index);

    /// Frees every surface and texture and empties the library, for libraries
    /// that do not live as long as the program (tests, tools).
    void release_all();

private:
    unsigned textures[KBIBLIO_CAPACITY];      ///< GL texture name of each entry, 0 until first upload
    bool needs_upload[KBIBLIO_CAPACITY];      ///< picture not yet in its texture
    bool removed[KBIBLIO_CAPACITY];           ///< taken out by remove_image

    void clear_table();
    /// Uploads entry index now if a GL context exists.
    void upload(int index);
    /// Tile layout of a sprite sheet, pixels.
    struct SHEET {
        int w, h;           ///< tile size
        int rows, cols;     ///< tiles down and across
        int gap_x, gap_y;   ///< pixels between tiles
    };
    /// Cuts the sheet picture at path into tiles named "<name>_<n>", n counted
    /// in row-major order from 0.
    void cut_sheet(const char* name, const char* path, const SHEET& sheet);
};
