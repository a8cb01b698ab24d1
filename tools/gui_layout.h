// Layout of every module panel: one table per panel face, read both by the
// picture generator (engraved legends, LCD windows, knob scales drawn on
// the face) and by the resource-file writer (the widgets of data/RC/*.RC),
// so that a widget always sits on the drawing made for it.
//
// Coordinates are face pixels, y downwards, (0, 0) the face's top-left
// corner; a panel is loaded at (0, 0), so they are also the RC positions.
// Sprites, buttons and knobs give their picture's top-left corner. Labels
// and legends give their text baseline; the RC writer converts a label's
// baseline with rc_label_y().
#pragma once

#include <vector>

namespace layout {

enum class Kind {
    Sprite,   ///< RC SPRITE: picture, optional mask, optional additive drawing
    Button,   ///< RC BUTTON: state-1, state-0 and touched pictures
    Knob,     ///< RC SLIDER: the engine turns the picture by its angle
    Label,    ///< RC LABEL: text drawn by the font engine
    Legend,   ///< face only: engraved text
    Recess,   ///< face only: dark sunken window (displays, LED digits)
    Screw,    ///< face only: panel screw centred at (x, y)
};

/// Colour of text on the LCD windows, 0xRRGGBB.
constexpr int kLcdInk = 0x1c2614;
/// Colour of the module name on the dark name strips.
constexpr int kNameInk = 0xf0e4c4;

/// Font numbers of data/Kel_Engine/FONTS.LST. Font 0 is condensed: the
/// mixer and sequencer build their value labels with it, 20 pixels apart.
enum FontNr { kCond = 0, kBold = 1, kMono = 2, kSans = 3 };

struct Item {
    Kind kind;
    const char* name = "";   ///< element name (legend: its text)
    const char* img = "0";   ///< sprite/knob picture, button state-1 picture, label caption
    const char* img2 = "0";  ///< sprite mask, button state-0 picture
    const char* img3 = "0";  ///< button picture while touched
    int x = 0, y = 0;        ///< top-left corner; labels and legends: left x (legend: centre x) and baseline
    int w = 0, h = 0;        ///< label: LCD window width (0: none); recess: size; legend: pixel size
    int font = kSans;        ///< label font number
    int size = 8;            ///< label font size (points at 96 dpi, as the font engine renders it)
    int colour = kLcdInk;    ///< label colour
    float zoom = 1.0f;       ///< sprite/button/knob zoom (about the picture's centre)
    int additive = 0;        ///< sprite drawn additively (LED digits)
    bool dark = false;       ///< legend engraved on a dark plate
};

inline Item sprite(const char* n, const char* img, int x, int y, const char* mask = "0", float zoom = 1.0f,
                   int additive = 0) {
    Item i{Kind::Sprite, n, img, mask};
    i.x = x, i.y = y, i.zoom = zoom, i.additive = additive;
    return i;
}
inline Item button(const char* n, const char* on, const char* off, const char* touch, int x, int y) {
    Item i{Kind::Button, n, on, off, touch};
    i.x = x, i.y = y;
    return i;
}
inline Item knob(const char* n, const char* img, int x, int y) {
    Item i{Kind::Knob, n, img};
    i.x = x, i.y = y;
    return i;
}
/// A label: window > 0 draws an LCD window of that width behind the text.
inline Item label(const char* n, const char* caption, int x, int baseline, int window, int font = kMono,
                  int size = 8, int colour = kLcdInk) {
    Item i{Kind::Label, n, caption};
    i.x = x, i.y = baseline, i.w = window, i.font = font, i.size = size, i.colour = colour;
    return i;
}
/// The module's name on the dark strip at the top of a face.
inline Item name_label(const char* caption, int x, int baseline, int size = 8) {
    return label("label_NAME", caption, x, baseline, 0, kBold, size, kNameInk);
}
inline Item legend(const char* text, int cx, int baseline, int px = 9, bool dark = false) {
    Item i{Kind::Legend, text};
    i.x = cx, i.y = baseline, i.w = px, i.dark = dark;
    return i;
}
inline Item recess(int x, int y, int w, int h) {
    Item i{Kind::Recess};
    i.x = x, i.y = y, i.w = w, i.h = h;
    return i;
}
inline Item screw(int x, int y) {
    Item i{Kind::Screw};
    i.x = x, i.y = y;
    return i;
}

/// Sizes of the widget pictures, which the faces leave room for.
struct Size {
    const char* image;
    int w, h;
};
inline const std::vector<Size>& picture_sizes() {
    static const std::vector<Size> s = {
        {"KNOB", 32, 32},          {"KNOB_S", 24, 24},        {"SLD", 16, 16},
        {"PWR_ON", 18, 18},        {"BYP_ON", 18, 18},        {"SEL_ON", 14, 12},
        {"BTN_UP_0", 16, 14},      {"BTN_DOWN_0", 16, 14},    {"BTN_LEFT_0", 16, 14},
        {"BTN_RIGHT_0", 16, 14},   {"BTN_VIEW_0", 20, 14},    {"BTN_LOAD_0", 30, 14},
        {"BTN_SAVE_0", 30, 14},    {"BUTTONSTYLEA_0", 10, 8}, {"BUTTONSTYLEB_0", 10, 8},
        {"LAMP_LED_1_0", 10, 7},   {"LAMP_LED_2_0", 10, 8},   {"CHK_1_ON", 14, 14},
        {"CHK_4_ON", 16, 16},      {"LED_NUMERIC_1_0", 9, 14}, {"DISP_SIN", 72, 40},
        {"DISP_FILTRE_LOWPASS", 72, 40}, {"DISP_OPERATION_01", 44, 28}, {"SMP_PLAY_AV", 44, 20},
        {"DISP_PATCH", 72, 28},    {"WAVE_SCREEN", 300, 70},  {"FICHE_PLUG", 20, 20},
        {"JACK_IN", 16, 16},
    };
    return s;
}

/// Header strip height of the faces that have one (dark band with the name).
constexpr int kHeader = 22;
constexpr int kSmallHeader = 15;

enum class Style {
    Module,      ///< brushed aluminium face, dark name strip on top
    Small,       ///< the same with a thin name strip (the 116 x 56 control panels)
    Sequencer,   ///< dark step area on top, aluminium control strip below
    Setup,       ///< dark anodised background of the sound set-up window
};

struct Panel {
    const char* rc;      ///< resource file written, relative to data/
    const char* face;    ///< face picture (IMAGE_FOND); holds "FOND" so panels never redraw it as an element
    const char* back;    ///< back picture of the wiring view ("" when the face has none of its own)
    const char* title;   ///< engraved type name on the back
    int w, h;
    Style style;
    std::vector<Item> items;
};

/// The label's RC y for a text baseline at face y: the font engine prints a
/// label at window height 747 - y and a 768-pixel window maps that to
/// 21 + y from the top, while sprites are drawn 15 pixels lower than their y.
constexpr int rc_label_y(int baseline) { return baseline - 6; }

// Geometry of the widgets that panels build in code (mixer strips, sequencer
// step columns); the faces draw their legends from these same numbers.
constexpr int mixer_strip_x(int column) { return 90 * column; }
constexpr int mixer_row_y(int row) { return 18 * row + 67; }
constexpr int seq_column_x(int i) { return 20 * i; }  ///< add to the per-widget x of the column table
constexpr int kSeqColumns = 32;

// The control strips of the two faces of the sampler are shared.
inline std::vector<Item> sampler_controls() {
    return {
        name_label("SAMPLER", 16, 15),
        button("POWER", "PWR_ON", "PWR_OFF", "0", 382, 2),
        button("VIEW", "BTN_VIEW_0", "BTN_VIEW_0", "BTN_VIEW_1", 344, 4),
        legend("VIEW", 322, 15, 8, true),
        button("FILE_DOWN", "BTN_LEFT_0", "BTN_LEFT_0", "BTN_LEFT_1", 12, 30),
        label("LABEL_FILENAME", "Sounds/phaser.wav", 36, 41, 218),
        button("FILE_UP", "BTN_RIGHT_0", "BTN_RIGHT_0", "BTN_RIGHT_1", 256, 30),
        sprite("AFFICHAGE_TYPE_LOOP", "SMP_PLAY_AV", 298, 27),
        legend("PLAY MODE", 373, 41, 8),
        knob("SLD_FREQUENCE", "KNOB", 14, 56),
        legend("PITCH", 70, 64, 9),
        label("LABEL_FREQUENCE", "1.000", 56, 83, 70),
        knob("SLD_VOLUME", "KNOB", 148, 56),
        legend("LEVEL", 204, 64, 9),
        label("LABEL_VOLUME", "1.000", 190, 83, 70),
        knob("SLD_PHASE", "KNOB", 282, 56),
        legend("PHASE", 338, 64, 9),
        label("LABEL_PHASE", "0", 324, 83, 70),
        recess(296, 25, 48, 24),
        screw(7, 11), screw(409, 11),
    };
}

inline std::vector<Item> with(std::vector<Item> a, const std::vector<Item>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline const std::vector<Panel>& panels() {
    static const std::vector<Panel> p = {
        {"RC/VCO.RC", "FOND_VCO", "FOND_BACK_VCO", "OSCILLATOR", 210, 140, Style::Module, {
            name_label("VCO", 16, 15),
            button("POWER", "PWR_ON", "PWR_OFF", "0", 176, 2),
            legend("OSCILLATOR", 136, 15, 8, true),
            sprite("AFFICHAGE_TYPE_ONDE", "DISP_SIN", 12, 26),
            recess(10, 24, 76, 44),
            legend("FREQUENCY  Hz", 140, 37, 9),
            label("LABEL_FREQUENCE", "440.000", 100, 58, 96, kMono, 9),
            knob("SLD_FREQUENCE", "KNOB", 16, 84),
            legend("FREQ", 32, 76, 9),
            knob("SLD_VOLUME", "KNOB", 66, 84),
            legend("AMP", 82, 76, 9),
            label("LABEL_VOLUME", "1.000", 65, 133, 42),
            knob("SLD_PHASE", "KNOB", 116, 84),
            legend("PHASE", 132, 76, 9),
            label("LABEL_PHASE", "0", 115, 133, 42),
            knob("SLD_PWM", "KNOB", 166, 84),
            legend("PWM", 182, 76, 9),
            label("LABEL_PWM", "0.500", 165, 133, 42),
            screw(7, 11), screw(203, 11), screw(7, 133),
        }},
        {"RC/VCA.RC", "FOND_VCA", "FOND_BACK_VCA", "AMPLIFIER", 146, 82, Style::Module, {
            name_label("VCA", 16, 15),
            button("POWER", "PWR_ON", "PWR_OFF", "0", 114, 2),
            knob("SLD_ATTACK", "KNOB_S", 8, 36),
            legend("ATK", 20, 30, 9),
            label("LABEL_ATTACK", "0.0", 8, 75, 30, kMono, 7),
            knob("SLD_DECAY", "KNOB_S", 43, 36),
            legend("DEC", 55, 30, 9),
            label("LABEL_DECAY", "0.0", 43, 75, 30, kMono, 7),
            knob("SLD_SUSTAIN", "KNOB_S", 78, 36),
            legend("SUS", 90, 30, 9),
            label("LABEL_SUSTAIN", "1.0", 78, 75, 30, kMono, 7),
            knob("SLD_RELEASE", "KNOB_S", 113, 36),
            legend("REL", 125, 30, 9),
            label("LABEL_RELEASE", "0.0", 113, 75, 30, kMono, 7),
            screw(7, 11), screw(139, 11),
        }},
        {"RC/VCF.RC", "FOND_VCF", "FOND_BACK_VCF", "FILTER", 236, 124, Style::Module, {
            name_label("VCF", 16, 15),
            button("POWER", "PWR_ON", "PWR_OFF", "0", 202, 2),
            button("BYPASS", "BYP_ON", "BYP_OFF", "0", 176, 2),
            legend("BYPASS", 150, 15, 8, true),
            sprite("AFFICHAGE_TYPE_FILTRE", "DISP_FILTRE_LOWPASS", 12, 26),
            recess(10, 24, 76, 44),
            legend("RESPONSE", 150, 36, 9),
            label("LABEL_TYPE", "LOWPASS", 112, 56, 76),
            knob("SLD_HICUTOFF", "KNOB_S", 19, 81),
            legend("CUTOFF", 31, 76, 8),
            label("LABEL_HICUTOFF", "1000", 16, 119, 36, kMono, 7),
            knob("SLD_QRATIO", "KNOB_S", 77, 81),
            legend("RESONANCE", 89, 76, 8),
            label("LABEL_QRATIO", "1.0", 74, 119, 36, kMono, 7),
            knob("SLD_GAIN", "KNOB_S", 135, 81),
            legend("GAIN dB", 147, 76, 8),
            label("LABEL_GAIN", "0.0", 132, 119, 36, kMono, 7),
            knob("SLD_LEVEL", "KNOB_S", 193, 81),
            legend("LEVEL", 205, 76, 8),
            label("LABEL_LEVEL", "1.0", 190, 119, 36, kMono, 7),
            screw(7, 11), screw(229, 11),
        }},
        {"RC/SAMPLER_MINI.RC", "FOND_SAMPLER_MINI", "FOND_BACK_SAMPLER", "SAMPLER", 416, 100, Style::Module,
         with(sampler_controls(), {screw(7, 93), screw(409, 93)})},
        {"RC/SAMPLER.RC", "FOND_SAMPLER", "", "SAMPLER", 416, 178, Style::Module, with(sampler_controls(), {
            sprite("AFFWAVE", "WAVE_SCREEN", 58, 102),
            recess(55, 99, 306, 76),
            legend("SAMPLE", 30, 136, 8),
            legend("z_ozodive", 388, 136, 9),
            screw(7, 171), screw(409, 171),
        })},
        {"RC/MIXER.RC", "FOND_MIXER", "FOND_BACK_MIXER", "MIXER", 296, 206, Style::Module, {
            name_label("MIXER", 16, 15),
            button("POWER", "PWR_ON", "PWR_OFF", "0", 262, 2),
            legend("21-CHANNEL MIXER", 148, 42, 10),
            screw(7, 11), screw(289, 11), screw(7, 199), screw(289, 199),
        }},
        {"RC/KEYBOARD.RC", "FOND_KEYBOARD", "FOND_BACK_KEYBOARD", "KEYBOARD", 116, 92, Style::Module, {
            name_label("KEYBOARD", 10, 15),
            button("POWER", "PWR_ON", "PWR_OFF", "0", 94, 2),
            button("BUTTON_OCT_DOWN", "BTN_DOWN_0", "BTN_DOWN_0", "BTN_DOWN_1", 22, 45),
            button("BUTTON_OCT_UP", "BTN_UP_0", "BTN_UP_0", "BTN_UP_1", 78, 45),
            sprite("SPRITE_OCT", "LED_NUMERIC_1_5", 54, 45, "0", 2.0f, 1),
            recess(46, 35, 26, 34),
            legend("OCTAVE", 58, 32, 8),
        }},
        {"RC/SOUND_OUTPUT.RC", "FOND_SOUND_OUTPUT", "FOND_BACK_SOUND_OUTPUT", "SOUND OUT", 116, 56, Style::Small, {
            legend("SOUND OUT", 58, 11, 8, true),
        }},
        {"RC/AFFICHAGE.RC", "FOND_AFFICHAGE", "FOND_BACK_AFFICHAGE", "VALUE", 116, 56, Style::Small, {
            name_label("VALUE", 6, 11, 7),
            label("LABEL_CST_VALUE", "0.000", 10, 35, 74, kMono, 9),
            sprite("LAMPE", "CHK_1_OFF", 93, 21, "CHK_1_MASK"),
            legend("VALUE", 43, 51, 8),
            legend("≠ 0", 100, 51, 8),
        }},
        {"RC/CONSTANTE.RC", "FOND_CONSTANTE", "FOND_BACK_CONSTANTE", "CONSTANT", 116, 56, Style::Small, {
            name_label("CONSTANT", 6, 11, 7),
            label("LABEL_CST_VALUE", "4.000", 10, 31, 66, kMono, 8),
            button("BUTTON_OCT_DOWN", "BTN_DOWN_0", "BTN_DOWN_0", "BTN_DOWN_1", 8, 38),
            button("BUTTON_OCT_UP", "BTN_UP_0", "BTN_UP_0", "BTN_UP_1", 28, 38),
            legend("±1", 56, 49, 8),
            knob("SLD_VALUE", "KNOB_S", 84, 18),
            legend("FINE", 96, 52, 7),
        }},
        {"RC/VARIABLE.RC", "FOND_VARIABLE", "FOND_BACK_VARIABLE", "VARIABLE", 116, 56, Style::Small, {
            name_label("VARIABLE", 6, 11, 7),
            label("LABEL_VAR_VALUE", "0.000", 12, 35, 98, kMono, 9),
            legend("SAMPLE & HOLD", 58, 51, 8),
        }},
        {"RC/OPERATION.RC", "FOND_OPERATION", "FOND_BACK_OPERATION", "OPERATION", 116, 56, Style::Small, {
            name_label("OPERATION", 6, 11, 7),
            sprite("TYPE", "DISP_OPERATION_01", 5, 21),
            recess(3, 19, 48, 32),
            label("LABEL_OPERATION", "addition", 57, 36, 59, kCond, 7),
            legend("OPERATOR", 84, 51, 7),
        }},
        {"RC/GENERATOR.RC", "FOND_GENERATOR", "FOND_BACK_GENERATOR", "SUB-PATCH", 116, 80, Style::Small, {
            name_label("PATCH", 6, 11, 7),
            sprite("AFFICHAGE_TYPE_ONDE", "DISP_PATCH", 22, 19),
            recess(20, 17, 76, 32),
            label("label_KSY_NAME", "KSY/ZZZ.ksy", 10, 63, 98, kMono, 7),
            legend("SUB-PATCH", 58, 76, 7),
        }},
        {"RC/SEQUENCEUR_MINI.RC", "FOND_SEQUENCEUR_MINI", "FOND_BACK_SEQUENCEUR", "SEQUENCER", 436, 108,
         Style::Module, {
            name_label("SEQUENCER", 16, 15),
            button("POWER", "PWR_ON", "PWR_OFF", "0", 398, 2),
            button("VIEW", "BTN_VIEW_0", "BTN_VIEW_0", "BTN_VIEW_1", 364, 4),
            legend("VIEW", 342, 15, 8, true),
            legend("PATTERN", 40, 43, 9),
            button("BUTTON_PATTERN_0", "SEL_ON", "SEL_OFF", "0", 82, 34),
            button("BUTTON_PATTERN_1", "SEL_ON", "SEL_OFF", "0", 104, 34),
            button("BUTTON_PATTERN_2", "SEL_ON", "SEL_OFF", "0", 126, 34),
            button("BUTTON_PATTERN_3", "SEL_ON", "SEL_OFF", "0", 148, 34),
            button("BUTTON_PATTERN_4", "SEL_ON", "SEL_OFF", "0", 170, 34),
            button("BUTTON_PATTERN_5", "SEL_ON", "SEL_OFF", "0", 192, 34),
            button("BUTTON_PATTERN_6", "SEL_ON", "SEL_OFF", "0", 214, 34),
            button("BUTTON_PATTERN_7", "SEL_ON", "SEL_OFF", "0", 236, 34),
            legend("1", 89, 58, 8), legend("2", 111, 58, 8), legend("3", 133, 58, 8), legend("4", 155, 58, 8),
            legend("5", 177, 58, 8), legend("6", 199, 58, 8), legend("7", 221, 58, 8), legend("8", 243, 58, 8),
            legend("FILE", 40, 84, 9),
            button("FILE_DOWN", "BTN_LEFT_0", "BTN_LEFT_0", "BTN_LEFT_1", 62, 73),
            label("LABEL_FILENAME", "NONE", 86, 84, 150),
            button("BT_SAVE", "BTN_SAVE_0", "BTN_SAVE_0", "BTN_SAVE_1", 240, 73),
            legend("32-STEP", 350, 52, 12),
            legend("SEQUENCER", 350, 70, 12),
            screw(7, 11), screw(429, 11), screw(7, 101), screw(429, 101),
        }},
        {"RC/SEQUENCEUR.RC", "FOND_SEQUENCEUR", "", "SEQUENCER", 716, 254, Style::Sequencer, {
            recess(8, 192, 124, 18),
            label("label_NAME", "SEQUENCER", 14, 205, 0, kBold, 8, kNameInk),
            button("POWER", "PWR_ON", "PWR_OFF", "0", 140, 194),
            legend("POWER", 149, 189, 8),
            button("VIEW", "BTN_VIEW_0", "BTN_VIEW_0", "BTN_VIEW_1", 170, 196),
            legend("VIEW", 180, 189, 8),
            button("FILE_DOWN", "BTN_LEFT_0", "BTN_LEFT_0", "BTN_LEFT_1", 206, 196),
            label("LABEL_FILENAME", "NONE", 230, 207, 120),
            button("FILE_UP", "BTN_RIGHT_0", "BTN_RIGHT_0", "BTN_RIGHT_1", 350, 196),
            legend("PATTERN FILE", 286, 189, 8),
            button("BT_LOAD", "BTN_LOAD_0", "BTN_LOAD_0", "BTN_LOAD_1", 372, 196),
            button("BT_SAVE", "BTN_SAVE_0", "BTN_SAVE_0", "BTN_SAVE_1", 406, 196),
            button("BUTTON_DIVIDER_DOWN", "BTN_DOWN_0", "BTN_DOWN_0", "BTN_DOWN_1", 448, 196),
            label("LABEL_DIVIDER", "1.000", 472, 207, 40),
            label("LABEL_WISHED_DIVIDER", "1.000", 516, 207, 40),
            button("BUTTON_DIVIDER_UP", "BTN_UP_0", "BTN_UP_0", "BTN_UP_1", 556, 196),
            legend("CLOCK DIVIDER", 510, 189, 8),
            legend("NOW", 490, 224, 7),
            legend("NEXT", 534, 224, 7),
            button("BUTTON_MAX_STEP_DOWN", "BTN_DOWN_0", "BTN_DOWN_0", "BTN_DOWN_1", 586, 196),
            label("LABEL_MAX_STEP", "16", 610, 207, 24),
            button("BUTTON_MAX_STEP_UP", "BTN_UP_0", "BTN_UP_0", "BTN_UP_1", 636, 196),
            legend("STEPS", 619, 189, 8),
            legend("PATTERN", 160, 241, 9),
            button("BUTTON_PATTERN_0", "SEL_ON", "SEL_OFF", "0", 206, 231),
            button("BUTTON_PATTERN_1", "SEL_ON", "SEL_OFF", "0", 232, 231),
            button("BUTTON_PATTERN_2", "SEL_ON", "SEL_OFF", "0", 258, 231),
            button("BUTTON_PATTERN_3", "SEL_ON", "SEL_OFF", "0", 284, 231),
            button("BUTTON_PATTERN_4", "SEL_ON", "SEL_OFF", "0", 310, 231),
            button("BUTTON_PATTERN_5", "SEL_ON", "SEL_OFF", "0", 336, 231),
            button("BUTTON_PATTERN_6", "SEL_ON", "SEL_OFF", "0", 362, 231),
            button("BUTTON_PATTERN_7", "SEL_ON", "SEL_OFF", "0", 388, 231),
            legend("1", 213, 227, 7), legend("2", 239, 227, 7), legend("3", 265, 227, 7), legend("4", 291, 227, 7),
            legend("5", 317, 227, 7), legend("6", 343, 227, 7), legend("7", 369, 227, 7), legend("8", 395, 227, 7),
            legend("z_ozodive  32-STEP SEQUENCER", 590, 242, 11),
            screw(7, 247), screw(709, 247),
        }},
        {"FOND_GLOBAL.RC", "FOND_GLOBAL", "", "", 358, 261, Style::Setup, {}},
    };
    return p;
}

// ------------------------------------------------------------------ backs
// The wiring views (the panels' backs). A socket's name says which port of
// the module it stands for, so the cable code reads it instead of keeping a
// table per panel (panels/sockets.h):
//   "JACK_IN_<KEY>"            an input; KEY is its key in the links section
//                              of a patch file for that module type
//   "JACK_IN_ADD_CHANELL_<n>"  mixer channel n, from 1
//   "JACK_OUT"                 the value output
//   "JACK_GATE_OUT"            the gate output (keyboard, sequencer)
//   "JACK_SYNC_OUT"            the sync output (keyboard, sequencer)
// Inputs use the picture JACK_IN, outputs JACK_OUT. The writer puts a label
// "LABEL_<socket name>" with the caption centred under each socket, and the
// face drawer gives every socket a seat and the outputs a light plate.

/// Socket picture size (JACK_IN, JACK_OUT), pixels.
constexpr int kJack = 16;
/// Height of the name strip of a back of height h.
constexpr int back_header(int h) { return h >= 80 ? kHeader : kSmallHeader; }
/// Left x of a socket centred in column i of n equal columns across a back
/// w wide, inside the 6-pixel margins of its frame.
constexpr int jack_column(int i, int n, int w) { return 6 + (2 * i + 1) * (w - 12) / (2 * n) - kJack / 2; }
/// Baseline of the caption under a socket whose top is at y.
constexpr int jack_caption_y(int y) { return y + kJack + 10; }
/// Caption font and size (points, as labels): 7 points are 9 pixels, the
/// least that reads at a glance.
constexpr int kJackFont = kCond, kJackSize = 7;
/// Caption colours: near white on the dark plate, near black on the outputs' light plate.
constexpr int kJackInk = 0xf4f0e6, kJackOutInk = 0x101114;

struct Socket {
    const char* name;     ///< socket element name (see above)
    const char* caption;  ///< text under it; spaces are written as '_'
    int x, y;             ///< top-left corner of the socket picture
};
inline Socket jack(const char* name, const char* caption, int x, int y) { return Socket{name, caption, x, y}; }
/// An output socket: its name ends in "_OUT".
inline bool is_output(const Socket& s) {
    const char* end = s.name;
    while (*end) ++end;
    return end - s.name >= 4 && end[-4] == '_' && end[-3] == 'O' && end[-2] == 'U' && end[-1] == 'T';
}

struct Back {
    const char* rc;     ///< back resource file written, relative to data/
    const char* front;  ///< the front whose size, back picture and title this back shares
    const char* name;   ///< caption of label_NAME, one token (the panels write the module's name)
    std::vector<Socket> sockets;
};

/// The channel sockets of the mixer: 21 in three rows of seven, one per strip of the face.
inline std::vector<Socket> mixer_jacks() {
    static const char* const captions[] = {"CH 1",  "CH 2",  "CH 3",  "CH 4",  "CH 5",  "CH 6",  "CH 7",
                                           "CH 8",  "CH 9",  "CH 10", "CH 11", "CH 12", "CH 13", "CH 14",
                                           "CH 15", "CH 16", "CH 17", "CH 18", "CH 19", "CH 20", "CH 21"};
    static const char* const names[] = {
        "JACK_IN_ADD_CHANELL_1",  "JACK_IN_ADD_CHANELL_2",  "JACK_IN_ADD_CHANELL_3",  "JACK_IN_ADD_CHANELL_4",
        "JACK_IN_ADD_CHANELL_5",  "JACK_IN_ADD_CHANELL_6",  "JACK_IN_ADD_CHANELL_7",  "JACK_IN_ADD_CHANELL_8",
        "JACK_IN_ADD_CHANELL_9",  "JACK_IN_ADD_CHANELL_10", "JACK_IN_ADD_CHANELL_11", "JACK_IN_ADD_CHANELL_12",
        "JACK_IN_ADD_CHANELL_13", "JACK_IN_ADD_CHANELL_14", "JACK_IN_ADD_CHANELL_15", "JACK_IN_ADD_CHANELL_16",
        "JACK_IN_ADD_CHANELL_17", "JACK_IN_ADD_CHANELL_18", "JACK_IN_ADD_CHANELL_19", "JACK_IN_ADD_CHANELL_20",
        "JACK_IN_ADD_CHANELL_21"};
    std::vector<Socket> v;
    for (int n = 0; n < 21; ++n) v.push_back(jack(names[n], captions[n], jack_column(n % 7, 7, 296), 32 + 40 * (n / 7)));
    v.push_back(jack("JACK_OUT", "OUT", jack_column(3, 7, 296), 160));
    return v;
}

inline const std::vector<Back>& backs() {
    static const std::vector<Back> b = {
        {"RC/BACK_VCO.RC", "RC/VCO.RC", "VCO", {
            jack("JACK_IN_MOD_FREQ", "FREQ MOD", jack_column(0, 4, 210), 32),
            jack("JACK_IN_MOD_PHASE", "PHASE MOD", jack_column(1, 4, 210), 32),
            jack("JACK_IN_MOD_AMP", "AMP MOD", jack_column(2, 4, 210), 32),
            jack("JACK_IN_MOD_PWM", "PWM MOD", jack_column(3, 4, 210), 32),
            jack("JACK_IN_ALT_FREQ", "ALT FREQ", jack_column(0, 4, 210), 66),
            jack("JACK_IN_ALT_PHASE", "ALT PHASE", jack_column(1, 4, 210), 66),
            jack("JACK_IN_ALT_AMP", "ALT AMP", jack_column(2, 4, 210), 66),
            jack("JACK_IN_ALT_PWM", "ALT PWM", jack_column(3, 4, 210), 66),
            jack("JACK_IN_IN", "PITCH", jack_column(0, 4, 210), 100),
            jack("JACK_IN_GATE", "GATE", jack_column(1, 4, 210), 100),
            jack("JACK_IN_SYNC", "SYNC", jack_column(2, 4, 210), 100),
            jack("JACK_OUT", "OUT", jack_column(3, 4, 210), 100),
        }},
        {"RC/BACK_VCA.RC", "RC/VCA.RC", "VCA", {
            jack("JACK_IN_IN", "IN", jack_column(0, 3, 146), 34),
            jack("JACK_IN_GATE", "GATE", jack_column(1, 3, 146), 34),
            jack("JACK_OUT", "OUT", jack_column(2, 3, 146), 34),
        }},
        {"RC/BACK_VCF.RC", "RC/VCF.RC", "VCF", {
            jack("JACK_IN_IN", "IN", jack_column(0, 4, 236), 32),
            jack("JACK_IN_GATE", "GATE", jack_column(1, 4, 236), 32),
            jack("JACK_IN_SYNC", "SYNC", jack_column(2, 4, 236), 32),
            jack("JACK_OUT", "OUT", jack_column(3, 4, 236), 32),
            jack("JACK_IN_MOD_FREQ", "CUTOFF MOD", jack_column(0, 4, 236), 72),
            jack("JACK_IN_MOD_PHASE", "PHASE MOD", jack_column(1, 4, 236), 72),
            jack("JACK_IN_MOD_AMP", "MIX MOD", jack_column(2, 4, 236), 72),
        }},
        {"RC/BACK_SAMPLER.RC", "RC/SAMPLER_MINI.RC", "SAMPLER", {
            jack("JACK_IN_IN", "PITCH", jack_column(0, 7, 416), 46),
            jack("JACK_IN_GATE", "GATE", jack_column(1, 7, 416), 46),
            jack("JACK_IN_SYNC", "SYNC", jack_column(2, 7, 416), 46),
            jack("JACK_IN_MOD_FREQ", "PITCH MOD", jack_column(3, 7, 416), 46),
            jack("JACK_IN_MOD_PHASE", "PHASE MOD", jack_column(4, 7, 416), 46),
            jack("JACK_IN_MOD_AMP", "LEVEL MOD", jack_column(5, 7, 416), 46),
            jack("JACK_OUT", "OUT", jack_column(6, 7, 416), 46),
        }},
        {"RC/BACK_MIXER.RC", "RC/MIXER.RC", "MIXER", mixer_jacks()},
        {"RC/BACK_KEYBOARD.RC", "RC/KEYBOARD.RC", "KEYBOARD", {
            jack("JACK_OUT", "PITCH", jack_column(0, 3, 116), 40),
            jack("JACK_GATE_OUT", "GATE", jack_column(1, 3, 116), 40),
            jack("JACK_SYNC_OUT", "SYNC", jack_column(2, 3, 116), 40),
        }},
        {"RC/BACK_SEQUENCEUR.RC", "RC/SEQUENCEUR_MINI.RC", "SEQUENCER", {
            jack("JACK_IN_SYNC", "SYNC IN", jack_column(0, 6, 436), 46),
            jack("JACK_OUT", "PITCH", jack_column(3, 6, 436), 46),
            jack("JACK_GATE_OUT", "GATE", jack_column(4, 6, 436), 46),
            jack("JACK_SYNC_OUT", "SYNC OUT", jack_column(5, 6, 436), 46),
        }},
        {"RC/BACK_SOUND_OUTPUT.RC", "RC/SOUND_OUTPUT.RC", "SOUND_OUT", {
            jack("JACK_IN_IN", "IN", jack_column(0, 1, 116), 22),
        }},
        {"RC/BACK_AFFICHAGE.RC", "RC/AFFICHAGE.RC", "VALUE", {
            jack("JACK_IN_IN", "IN", jack_column(0, 2, 116), 22),
            jack("JACK_OUT", "OUT", jack_column(1, 2, 116), 22),
        }},
        {"RC/BACK_CONSTANTE.RC", "RC/CONSTANTE.RC", "CONSTANT", {
            jack("JACK_OUT", "OUT", jack_column(0, 1, 116), 22),
        }},
        {"RC/BACK_VARIABLE.RC", "RC/VARIABLE.RC", "VARIABLE", {
            jack("JACK_IN_IN", "IN", jack_column(0, 3, 116), 22),
            jack("JACK_IN_IN_ASSIGN", "ASSIGN", jack_column(1, 3, 116), 22),
            jack("JACK_OUT", "OUT", jack_column(2, 3, 116), 22),
        }},
        {"RC/BACK_OPERATION.RC", "RC/OPERATION.RC", "OPERATION", {
            jack("JACK_IN_IN1", "IN 1", jack_column(0, 4, 116), 22),
            jack("JACK_IN_IN2", "IN 2", jack_column(1, 4, 116), 22),
            jack("JACK_IN_IN_IF", "IF", jack_column(2, 4, 116), 22),
            jack("JACK_OUT", "OUT", jack_column(3, 4, 116), 22),
        }},
        {"RC/BACK_GENERATOR.RC", "RC/GENERATOR.RC", "PATCH", {
            jack("JACK_OUT", "OUT", jack_column(0, 1, 116), 36),
        }},
    };
    return b;
}

}  // namespace layout
