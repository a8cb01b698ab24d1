// Panels: a sprite that owns an ordered list of elements (sprites, buttons,
// knobs, labels), a queue of incoming messages and a view mode. A panel's
// layout comes from an RC file, a small text file of its background settings
// and its elements; load_RC reads one and view_RC writes one back.
#pragma once

#include <deque>
#include <vector>

#include "engine/widgets.h"

/// Capacity of a panel name and of an RC path, bytes.
constexpr int PANEL_PATH_SIZE = 800;

class OBJET : public SPRITE {
public:
    float WIDTH = 0;                      ///< panel width from the RC file, pixels
    float HEIGHT = 0;                     ///< panel height from the RC file, pixels
    int COLOR = 0;                        ///< background 0x00RRGGBB; alpha in the top byte after a fill
    char panel_name[PANEL_PATH_SIZE];     ///< prefix of every element name
    char rc_path[PANEL_PATH_SIZE];        ///< last RC file given to load_RC
    int view_mode = 1;                    ///< 1 normal, 2 reduced (half size), 4 alternate list
    /// Newest at the front, taken from the back. A long knob drag queues a
    /// message per pixel: a deque takes each at the front in constant time.
    std::deque<MESSAGE> messages;
    std::vector<SPRITE*>* current_list;   ///< the list every operation works on
    std::vector<SPRITE*> elements;        ///< the normal list (modes 1 and 2)
    std::vector<SPRITE*> alt_elements;    ///< the list of mode 4
    std::vector<SPRITE*> extra_elements;  ///< a third list for module panels

    /// A panel at (x, y); a null name ends the process (status -1). Elements
    /// are loaded while the panel is at (0, 0) in practice, and drawn and
    /// pointed at relative to wherever the panel is.
    OBJET(int x, int y, const char* name);
    /// Destroys the lists, not the elements in them.
    ~OBJET() override = default;
    OBJET(const OBJET&) = delete;
    OBJET& operator=(const OBJET&) = delete;

    /// Reads an RC file into current_list. 1, or -1 when it cannot be opened
    /// (the panel stays empty and usable).
    int load_RC(const char* path);
    /// Writes current_list as an RC file. 1, or 0 with a message when the file
    /// cannot be written.
    int view_RC(const char* path);
    /// Queues a copy of m. Returns 1.
    int ajoute_message(const MESSAGE& m);
    /// Hands each queued message to its button or knob, redraws when one
    /// changed, and runs the change detection of the panel itself. Returns 0.
    int evolue() override;
    /// The element under the pointer (mouse_x, mouse_y) as drawn, or null.
    SPRITE* get_pointed_object();
    /// Index of an element counted from the back of the list, or 0.
    int get_nr_object(SPRITE* sprite);
    /// Element by its own name (without the panel prefix), or null.
    SPRITE* get_SPRITE_by_name(const char* name);
    /// Button by its own name (without the panel prefix), or null.
    BUTTON* get_BUTTON_by_name(const char* name);
    /// 0 switches between modes 1 and 2; 1, 2 and 4 select that mode. Returns 1.
    virtual int toggle_view_mode(int type);
    /// What every view switch ends with: the size measured again, every
    /// element marked, the scene drawn, the panel marked changed.
    void view_switched();
    /// Sets changed and dirty of every element. Returns the element count.
    int toggle_all_draw_flag(int value);
    /// The panel's size from its background picture or WIDTH x HEIGHT, halved in mode 2.
    void calcule_lasurfaceoccupee();
    /// Draws the background (picture or filled rectangle, with the flag) and
    /// every changed element, with GL.
    virtual void Draw_Scene(SDL_Surface* surface, int background);
    /// Draws the element "FOND_MASK" under the panel; returns it, or null.
    SPRITE* Draw_Shadow();
    /// Software path: blits own_surface at the panel's position.
    int Draw_Scene_into_buffer(SDL_Surface* surface);
    /// The element name without this panel's prefix ("<panel_name>_").
    const char* own_name(const SPRITE* s) const;
    /// Every element of every list the panel keeps (module panels with lists
    /// of their own add them), for the owner that deletes them.
    virtual void collect_elements(std::vector<SPRITE*>& out) const;

private:
    /// Reads one THIS parameter token.
    void read_parameters(const char* token, int entry);
};

/// Whether OBJET::evolue draws a panel whose elements changed at once (the
/// default). A frame loop that draws every changed panel itself turns it off;
/// the widgets then take their messages in OBJET::evolue itself.
void set_draw_on_change(bool draw);

/// Deletes a panel together with the elements of its three lists (each once),
/// for the owner that made both.
void destroy_panel(OBJET* panel);

/// Draws every panel whose box meets the view (origin ox, oy), shadows first
/// when asked (running each panel's evolue), last panel first. Returns 1.
int draw_all_modules(int, int, std::vector<OBJET*>& panels, int ox, int oy, int, int background, int shadows);
/// Draws every panel in full, moved by (dx, dy), first panel first. Returns 1.
int draw_all_modules_DASH(int, int, std::vector<OBJET*>& panels, SDL_Surface*, int dx, int dy);
