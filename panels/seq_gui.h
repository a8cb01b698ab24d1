// The sequencer's panel: the grid of steps (notes, octaves, volumes, lengths), patterns, dividers, a mini view.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "engine/objet.h"
#include "synth/generator.h"

class SEQ_GUI : public OBJET {
public:
    /// Step columns on the full face (steps 1..32 of the playing pattern).
    static constexpr int COLUMNS = 32;
    /// Pattern buttons on both faces (patterns 0..7).
    static constexpr int PATTERN_BUTTONS = 8;

    SEQUENCER* module;                ///< the module this panel shows; not owned
    int columns = COLUMNS;            ///< step columns shown

    /// Builds both faces and the back, adds the 32 step columns, starts on the
    /// compact face and enters itself at the front of sequenceurs_gui.
    SEQ_GUI(SEQUENCER* module, int x, int y, const char* name);
    /// Leaves sequenceurs_gui; the sequencer is untouched.
    ~SEQ_GUI() override;
    /// Applies the frame's clicks and knob messages to the playing pattern,
    /// refreshes the lamps and labels, then hands the messages to the
    /// widgets. Returns 0.
    int evolue() override;
    /// 0 toggles between the full face (mode 1) and the compact face at half
    /// size (mode 2); 1 shows the full face, 2 the compact face (mode 1), 4
    /// the back. Returns 1.
    int toggle_view_mode(int type) override;

    /// Redraw one step column (0..31) from the playing pattern.
    void refresh_NOTE_value(int column);
    void refresh_OCTAVE_value(int column);
    void refresh_VOL_value(int column);
    void refresh_LENGHT_value(int column);
    void refresh_BYPASS_value(int column);
    /// Lights the pattern button of the wished pattern on both faces.
    void refresh_PATTERNBUTTON();

    /// True while the compact face is the shown list.
    bool compact() const { return current_list == &extra_elements; }

private:
    /// The widgets of one step column, made by the constructor and kept in
    /// elements (so whoever destroys the panel frees them).
    struct COLUMN {
        LABEL* vol_text;      ///< "LABEL_TXT_<n>_VOL"
        LABEL* length_text;   ///< "LABEL_TXT_<n>_LENGHT"
        SPRITE* lamp;         ///< "LAMPE_STEP_<n>", lit on the step about to sound
        SPRITE* octave;       ///< "SPRITE_OCT_<n>", units digit
        SPRITE* octave_tens;  ///< "SPRITE_OCT_<n>_0"
        SPRITE* note;         ///< "SPRITE_NOTE_<n>", units digit
        SPRITE* note_tens;    ///< "SPRITE_NOTE_<n>_0"
        SLIDER* vol;          ///< "SLD_VOL_<n>"
        SLIDER* length;       ///< "SLD_LENGHT_<n>"
        BUTTON* octave_up;    ///< "BUTTON_OCT_<n>_UP"
        BUTTON* octave_down;  ///< "BUTTON_OCT_<n>_DOWN"
        BUTTON* note_up;      ///< "BUTTON_NOTE_<n>_UP"
        BUTTON* note_down;    ///< "BUTTON_NOTE_<n>_DOWN"
        BUTTON* bypass;       ///< "BUTTON_BYPASS_<n>", lit while the step plays
    };
    COLUMN column[COLUMNS];

    /// The widgets of a face's resource file that the panel writes, looked
    /// up once when it is loaded; null when the file lacks them.
    struct FACE {
        LABEL* name;            ///< "label_NAME"
        LABEL* file;            ///< "LABEL_FILENAME"
        LABEL* divider;         ///< "LABEL_DIVIDER", the playing pattern's divider
        LABEL* wished_divider;  ///< "LABEL_WISHED_DIVIDER"
        LABEL* step_count;      ///< "LABEL_MAX_STEP"
        BUTTON* power;          ///< "POWER"
        BUTTON* pattern[PATTERN_BUTTONS];  ///< "BUTTON_PATTERN_<k>"
    };
    FACE full_face{}, compact_face{};

    /// Looks up a face's widgets in the current list.
    void find_face_widgets(FACE& face);
    void add_column(int i);
    /// Index of column i's step in the grid of the playing pattern.
    int step_index(int column) const;
    /// The playing pattern, 0 when the module holds none within the grid.
    int pattern() const;
    /// Column i lies within the pattern's step count (else it is greyed).
    bool within_count(int column) const;
    void refresh_columns();
    /// Divider, wished divider and step count labels; POWER buttons.
    void refresh_controls();
    /// "LABEL_FILENAME" of both faces: the bare name of path, "NONE" for none.
    void show_file_name(const char* path);

    void on_click(const MESSAGE& m);
    void on_column_click(const SPRITE* target);
    void on_knob(const MESSAGE& m);
    /// Load and Save: the window's file list or name field, or a name
    /// typed on the console at its prompt.
    void load_from_prompt();
    void save_from_prompt();
    void load_pattern(const std::string& path);
    void save_pattern(const std::string& path);
    /// Loads the listed pattern file after (+1) or before (-1) the current one.
    void browse(int direction);

    /// Clicks queued for an element this frame: it toggles once for each when
    /// the panel hands them over.
    int queued_clicks(const SPRITE* s) const;
    /// Degrees a knob will still turn by itself for the messages queued this frame.
    int queued_turn(const SPRITE* s) const;
    /// Puts a two-state button so that it shows state once it has taken its
    /// queued clicks.
    void show_button(BUTTON* b, int state) const;
};

/// Reads a pattern file name, one line of at most 255 characters, from in.
/// Surrounding blanks are dropped and ".PAR" is added when the name lacks it.
/// Returns 1 with the name in name (capacity size); 0, after a message, when
/// the input ends, the line is empty or too long, or the name holds '/' or
/// "..", so that it always names a file directly inside the pattern folder.
int read_pattern_name(std::FILE* in, char* name, std::size_t size);
