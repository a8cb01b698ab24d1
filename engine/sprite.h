// The engine's object model: every visible thing is a named, numbered item
// (KEL_ENGINE) with a position (BASE), a box (RECTANGLE) and a picture from the
// image library with its drawing attributes and change tracking (SPRITE).
// Panels, widgets and cable ends all derive from SPRITE.
#pragma once

struct SDL_Surface;

/// Capacity of every name field, bytes including the terminating zero.
constexpr int KEL_NAME_SIZE = 80;

/// Root of the chain: a named, numbered engine item.
class KEL_ENGINE {
public:
    /// Serial numbers handed out so far; never decreases.
    static unsigned long CPT;

    unsigned long id;               ///< serial number taken from CPT at construction
    int hidden;                     ///< non-zero: the software blit draws nothing
    char NAME[KEL_NAME_SIZE];       ///< object name, always terminated
    char ID_NAME[KEL_NAME_SIZE];    ///< second name, empty until set_ID_NAME

    /// Named "ITEM_" plus the id right-aligned in 20 characters.
    KEL_ENGINE();
    explicit KEL_ENGINE(const char* name);
    KEL_ENGINE(const KEL_ENGINE&) = default;
    KEL_ENGINE& operator=(const KEL_ENGINE&) = default;
    virtual ~KEL_ENGINE() = default;

    /// Per-step work; the plain item has none. Returns 0.
    virtual int evolue() { return 0; }
    /// Drawing hook without a drawing of its own. Returns 0.
    virtual int draw(void*, int) { return 0; }

    /// A null name gives "DEFAULT_ITEM_" plus the id; a long one is cut to the field.
    void set_NAME(const char* name);
    void set_ID_NAME(const char* name);
};

/// A point in space, pixels (y grows downwards; z is the GL depth).
class BASE : public KEL_ENGINE {
public:
    float x = 0, y = 0, z = 0;

    BASE() = default;
    BASE(float x, float y, float z);
    /// The given name does not survive: the point is named "BASE_ITEM_" plus its id.
    BASE(float x, float y, float z, const char* name);
    BASE(const BASE&) = default;
    BASE& operator=(const BASE&) = default;
    ~BASE() override;

    virtual void setxyz(float nx, float ny, float nz) { x = nx; y = ny; z = nz; }
    virtual void setx(float nx) { x = nx; }
    virtual void sety(float ny) { y = ny; }
    virtual void setz(float nz) { z = nz; }

    /// Closer than 2 pixels on every axis (strict, in floating point).
    bool near(const BASE& p) const;
    bool operator==(const BASE& p) const { return near(p); }
};

/// A box: a corner and a size, pixels; angle in degrees.
class RECTANGLE : public BASE {
public:
    float w = 0, h = 0, angle = 0;

    RECTANGLE() = default;
    RECTANGLE(float x, float y, float z, float w, float h, float angle, const char* name);
    RECTANGLE(const RECTANGLE&) = default;
    RECTANGLE& operator=(const RECTANGLE&) = default;

    /// Debug print of the box.
    void affiche();
    /// Point in box, edges included, on the separately truncated values.
    bool contains(const BASE& p) const;
    /// Boxes overlap, edges included, on truncated values.
    bool overlaps(const RECTANGLE& r) const;
    bool operator==(const BASE& p) const { return contains(p); }
    bool operator==(const RECTANGLE& r) const { return overlaps(r); }

    /// Numeric-keypad zone (7 8 9 / 4 5 6 / 1 2 3) of a point given relative to
    /// the box, with quarter-size borders; 0 on a border or outside every zone.
    int get_postion_in_rectangle(int px, int py) const;
    /// Debug aid: prints the point's offset from the centre, relative to the
    /// half size, six times. Returns 1.
    int get_angle_in_rectangle(int px, int py) const;
    /// sqrt((w - x)^2 + (h - y)^2).
    float get_hypo() const;
};

/// A picture of the image library with its drawing attributes. The picture is
/// looked up by SPR_NAME each time it is needed; the sprite owns nothing.
class SPRITE : public RECTANGLE {
public:
    int last_touched = 0;              ///< touched as of the last evolue
    int last_angle;                    ///< Angle as of the last evolue
    int last_alpha;                    ///< Alpha as of the last evolue
    char last_image[KEL_NAME_SIZE];    ///< SPR_NAME as of the last evolue
    bool screen_coords = true;         ///< labels: convert y for window-pixel text
    int ix, iy, iw, ih;                ///< integer box as of the last evolue or draw
    int touched = 0;                   ///< 1 while the pointer is over the sprite
    int pressed = 0;                   ///< 1 while the left button is held on it
    int changed = 1;                   ///< must be redrawn
    int dirty;                         ///< background under it must be restored first
    float Zoom;                        ///< scale factor, 1.0 for none
    int Angle;                         ///< rotation, degrees
    unsigned Key;                      ///< colour key: a source pixel value
    int Is_Key;                        ///< non-zero: pixels equal to Key are transparent
    int Additive;                      ///< non-zero: draw additively
    int Substractive = 0;              ///< non-zero: draw subtractively (multiply)
    int Alpha;                         ///< opacity 0..255
    SDL_Surface* own_surface = nullptr;  ///< used instead of the library picture; not owned
    char SPR_NAME[KEL_NAME_SIZE];      ///< picture name in the image library
    char MASK_NAME[KEL_NAME_SIZE];     ///< mask picture name; empty for none

    /// Named after its picture; w and h stay 0 until evolue finds the picture.
    SPRITE(const char* image, int x, int y, int Is_Key, int Key, int Additive, float Zoom,
           int Angle, int Alpha);
    SPRITE(const SPRITE&) = default;
    SPRITE& operator=(const SPRITE&) = default;

    /// Change detection: marks the sprite changed and dirty when its angle,
    /// pointer state, alpha, box or picture moved since the last call, then
    /// takes the picture's size. Returns 0.
    int evolue() override;
    /// Debug print of every drawing attribute.
    virtual void affiche();

    /// own_surface when set, else the library picture (null when missing).
    SDL_Surface* get_SDL_Surface() const;
    /// Masks are drawn by the GL path only: always null here.
    SDL_Surface* get_mask_SDL_Surface() const { return nullptr; }
    /// Switches the picture; 0 when it already was this one.
    int set_sprite_NAME(const char* image);
    /// Restores the background under a dirty sprite.
    void clear(SDL_Surface* destination, SDL_Surface* background);
    RECTANGLE* get_rectangle() { return this; }

    /// Point in box with the box scaled by Zoom.
    bool contains(const BASE& p) const;
    bool operator==(const BASE& p) const { return contains(p); }
    /// Keeps the box-overlap test reachable: sprite == panel compares boxes.
    using RECTANGLE::operator==;

    /// GL drawing of the picture (the target surface is not used).
    void blit(SDL_Surface* target);
    /// Software drawing onto a 32-bit surface.
    void blit_NORMAL(SDL_Surface* destination);
};
