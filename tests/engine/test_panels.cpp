// Panels without a display: RC files read and written back, look-ups and
// pointing, messages handed to buttons and knobs, and the event dispatch fed
// with synthetic SDL events.
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "engine/events.h"
#include "engine/objet.h"
#include "synth/exit.h"
#include "tests/temp_path.h"

namespace {
std::string write_file(const std::string& name, const std::string& text) {
    const std::string path = test_temp_path(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

/// Descriptors this process holds open.
int open_fds() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d) != nullptr) n++;
        closedir(d);
    }
    return n;
}

const char* const SAMPLE_RC =
    "THIS\tCOLOR=255;WIDTH=200;HEIGHT=100;ALPHA=128;\r\n"
    "SPRITE\tA\tPIC_A\t0\t10\t20\t0\t0\t0\t1.000000\t0\r\n"   // no alpha: 255
    "BUTTON\tBUTTON_B\tB_ON\tB_OFF\tB_TOUCH\t5\t6\t0\t0\t0\t150.0\t0\r\n"
    "SLIDER\tSLD_C\tKNOB\t30\t40\t0\t0\t0\t150.0\t7\r\n"
    "LABEL\tLABEL_D\tTwo_words\t50\t60\t1\t30\t16711680\t\r\n"
    "UNKNOWN\r\n"
    "SPRITE\tIMAGE_FOND\tFOND_X\tFOND_MASK\t0\t0\t0\t0\t0\t1.000000\t0\t200\r\n";

struct PANELS : ::testing::Test {
    std::vector<OBJET*> made;
    OBJET* panel(const char* name, const std::string& rc) {
        OBJET* p = new OBJET(0, 0, name);
        made.push_back(p);
        p->load_RC(write_file(std::string(name) + ".RC", rc).c_str());
        return p;
    }
    void TearDown() override {
        reset_event_state();
        for (OBJET* p : made) destroy_panel(p);
    }
};
}  // namespace

TEST_F(PANELS, RcFileReadAndWrittenBack) {
    OBJET* p = panel("7", SAMPLE_RC);
    ASSERT_EQ(p->elements.size(), 5u);
    EXPECT_EQ(p->COLOR, 255);
    EXPECT_EQ(p->Alpha, 128);
    EXPECT_EQ((int)p->WIDTH, 200);
    EXPECT_EQ((int)p->w, 200);  // no background picture: the panel measures itself from WIDTH
    // Reverse file order: the first entry is last in the list.
    EXPECT_STREQ(p->elements.back()->NAME, "7_A");
    EXPECT_EQ(p->elements.back()->Alpha, 255);
    EXPECT_EQ((int)p->elements.back()->y, 20);
    auto* b = dynamic_cast<BUTTON*>(p->get_SPRITE_by_name("BUTTON_B"));
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(b->SPR_NAME, "B_OFF");
    EXPECT_STREQ(b->image_touch, "B_TOUCH");
    EXPECT_STREQ(b->MASK_NAME, "B_MASK");
    EXPECT_EQ(b->Zoom, 150.0f);  // only knobs have their zoom capped
    EXPECT_EQ(p->get_SPRITE_by_name("SLD_C")->Zoom, 1.0f);
    auto* l = dynamic_cast<LABEL*>(p->get_SPRITE_by_name("LABEL_D"));
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->Size, 10);  // 30 is past the rendered sizes
    EXPECT_EQ((int)l->y, 60);
    EXPECT_STREQ(p->get_SPRITE_by_name("IMAGE_FOND")->MASK_NAME, "FOND_MASK");

    // Written and read again, the panel is the same, element by element.
    const std::string saved = test_temp_path("saved.RC");
    ASSERT_EQ(p->view_RC(saved.c_str()), 1);
    OBJET* q = new OBJET(0, 0, "7");
    made.push_back(q);
    q->load_RC(saved.c_str());
    ASSERT_EQ(q->elements.size(), p->elements.size());
    for (size_t i = 0; i < p->elements.size(); i++) {
        const SPRITE* a = p->elements[i];
        const SPRITE* c = q->elements[i];
        EXPECT_STREQ(a->NAME, c->NAME);
        EXPECT_STREQ(a->SPR_NAME, c->SPR_NAME);
        EXPECT_STREQ(a->MASK_NAME, c->MASK_NAME);
        EXPECT_EQ(a->x, c->x);
        EXPECT_EQ(a->y, c->y);
        EXPECT_EQ(a->Zoom, c->Zoom);
        EXPECT_EQ(a->Angle, c->Angle);
        EXPECT_EQ(a->Alpha, c->Alpha);
    }
    EXPECT_STREQ(dynamic_cast<LABEL*>(q->get_SPRITE_by_name("LABEL_D"))->CAPTION, "Two_words");
    EXPECT_EQ(q->COLOR, 255);
    EXPECT_EQ(p->view_RC("/no/such/folder/x.RC"), 0);  // reported, never fatal
}

TEST_F(PANELS, MalformedRcFiles) {
    // Fewer than two ';': ignored; the text after the last ';' is not used.
    EXPECT_EQ((int)panel("1", "THIS COLOR=1;WIDTH=50\n")->WIDTH, 0);
    OBJET* p = panel("2", "THIS COLOR=1;WIDTH=50;HEIGHT=20\n");
    EXPECT_EQ((int)p->WIDTH, 50);
    EXPECT_EQ((int)p->HEIGHT, 0);
    // A file cut inside an entry keeps what came before and adds nothing twice.
    OBJET* cut = panel("3", "SLIDER K KNOB 1 2 0 0 0 1.0 0\nSLIDER L KNOB 3 4");
    EXPECT_EQ(cut->elements.size(), 1u);
    EXPECT_EQ(OBJET(0, 0, "4").load_RC("/no/such.RC"), -1);
    // An empty parameter ends the program with status -1; where the exit
    // function returns through an exception, the file is closed all the same.
    set_exit_handler([](int status) { throw status; });
    const int fds_before = open_fds();
    for (const char* rc : {"THIS COLOR=1;;HEIGHT=2;\n", "THIS ;;;"}) {
        try {
            panel("5", rc);
            ADD_FAILURE() << "no exit for " << rc;
        } catch (int status) {
            EXPECT_EQ(status, -1);
        }
    }
    EXPECT_EQ(open_fds(), fds_before);
    set_exit_handler(nullptr);
}

TEST_F(PANELS, LookupsAndPointing) {
    // A three-digit panel name: look-ups strip the whole prefix.
    OBJET* p = panel("100", "SPRITE A PIC 0 10 10 0 0 0 1.0 0 255\n"
                            "BUTTON BUTTON_A ON OFF 0 10 10 0 0 0 1.0 0\n");
    for (SPRITE* s : p->elements) s->w = s->h = 20;
    ASSERT_NE(p->get_BUTTON_by_name("BUTTON_A"), nullptr);
    EXPECT_EQ(p->get_SPRITE_by_name("A"), p->elements.back());  // the earlier entry of the file
    // Pointing tests where elements are drawn: panel position added, 15 rows lower.
    p->setxyz(100, 200, 0);
    mouse_x = 115;
    mouse_y = 200 + 10 + 15 + 5;
    EXPECT_EQ(p->get_pointed_object(), p->elements.back());
    mouse_y = 200 + 10;  // above the drawn picture
    EXPECT_EQ(p->get_pointed_object(), nullptr);
}

TEST_F(PANELS, MessagesReachButtonsAndKnobs) {
    OBJET* p = panel("1", "BUTTON BUTTON_P ON OFF HOVER 0 0 0 0 0 1.0 0\n"
                          "SLIDER SLD_K KNOB 50 0 0 0 0 1.0 0\n");
    auto* b = dynamic_cast<BUTTON*>(p->get_SPRITE_by_name("BUTTON_P"));
    auto* k = dynamic_cast<SLIDER*>(p->get_SPRITE_by_name("SLD_K"));
    SDL_Event down{}, up{};
    down.type = SDL_MOUSEBUTTONDOWN;
    up.type = SDL_MOUSEBUTTONUP;
    p->ajoute_message(MESSAGE(1, down, nullptr, b));
    p->ajoute_message(MESSAGE(1, up, nullptr, b));
    for (const char* t : {"SLD_DOWN", "SLD_DOWN", "SLD_DOWN", "SLD_UP"}) p->ajoute_message(MESSAGE(0, up, t, k));
    p->evolue();
    b->evolue();
    k->evolue();
    EXPECT_EQ(b->STATE, 1);
    EXPECT_STREQ(b->SPR_NAME, "ON");
    EXPECT_EQ(k->Angle, 2);
    p->ajoute_message(MESSAGE(0, up, "TOUCH_IN", b));
    p->evolue();
    b->evolue();
    EXPECT_STREQ(b->SPR_NAME, "HOVER");
    p->ajoute_message(MESSAGE(0, up, "TOUCH_OUT", b));
    p->evolue();
    b->evolue();
    EXPECT_STREQ(b->SPR_NAME, "ON");
}

TEST_F(PANELS, EventDispatch) {
    OBJET* p = panel("1", "SPRITE A PIC 0 0 0 0 0 0 1.0 0 255\n"
                          "SLIDER SLD_B KNOB 100 0 0 0 0 1.0 0\n");
    for (SPRITE* s : p->elements) s->w = s->h = 20;
    SPRITE* a = p->get_SPRITE_by_name("A");
    SPRITE* b = p->get_SPRITE_by_name("SLD_B");
    std::vector<OBJET*> panels{p};
    auto motion = [&](int x, int y) {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.x = (Uint16)x;
        e.motion.y = (Uint16)y;
        return dispatch_event(e, panels, 0);
    };
    auto texts = [&] {
        std::vector<std::string> t;
        for (auto it = p->messages.rbegin(); it != p->messages.rend(); ++it) t.push_back(it->text);
        p->messages.clear();
        return t;
    };
    EXPECT_EQ(motion(5, 20), 1);
    EXPECT_EQ(texts(), std::vector<std::string>{"TOUCH_IN"});
    EXPECT_EQ(motion(6, 21), 0);  // within the same element: nothing
    EXPECT_EQ(motion(105, 20), 1);
    EXPECT_EQ(texts(), (std::vector<std::string>{"TOUCH_OUT", "TOUCH_IN"}));
    EXPECT_EQ(cible_touched, b);

    // Press on the knob and move 5 pixels up: five SLD_UP, then the release.
    SDL_Event press{};
    press.type = SDL_MOUSEBUTTONDOWN;
    press.button.button = SDL_BUTTON_LEFT;
    press.button.x = 105;
    press.button.y = 20;
    EXPECT_EQ(dispatch_event(press, panels, 0), 1);
    EXPECT_EQ(cible, b);
    p->messages.clear();
    motion(105, 15);
    EXPECT_EQ(texts(), std::vector<std::string>(5, "SLD_UP"));
    SDL_Event wheel = press;
    wheel.type = SDL_MOUSEBUTTONUP;
    wheel.button.button = SDL_BUTTON_WHEELUP;
    dispatch_event(wheel, panels, 0);
    EXPECT_EQ(cible, b) << "the wheel does not end a drag";
    SDL_Event release = press;
    release.type = SDL_MOUSEBUTTONUP;
    dispatch_event(release, panels, 0);
    EXPECT_EQ(cible, nullptr);
    EXPECT_EQ(p->messages.size(), 1u);
    p->messages.clear();

    // A middle click copies the pointed element under it.
    SDL_Event middle = press;
    middle.button.button = SDL_BUTTON_MIDDLE;
    mouse_x = 5;
    mouse_y = 20;
    dispatch_event(middle, panels, 0);
    ASSERT_EQ(p->elements.size(), 3u);
    EXPECT_STREQ(p->elements.front()->NAME, "0_sprite_2");
    EXPECT_STREQ(p->elements.front()->SPR_NAME, a->SPR_NAME);

    // Escape runs the escape action (by default the end of the program).
    static int escapes = 0;
    set_escape_action([] { escapes++; });
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.sym = SDLK_ESCAPE;
    dispatch_event(key, panels, 0);
    EXPECT_EQ(escapes, 1);
    set_escape_action(nullptr);
    // Other keys go to panel 0, or nowhere when there is none.
    key.key.keysym.sym = SDLK_a;
    std::vector<OBJET*> none;
    dispatch_event(key, none, 0);
    dispatch_event(key, panels, 0);
    EXPECT_EQ(p->messages.size(), 1u);
}
