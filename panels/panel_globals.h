// Program-wide lists of the module panels.
#pragma once

#include <vector>

class OBJET;
class SEQ_GUI;
class LINK;

/// Every sequencer panel built and not yet deleted, newest first.
extern std::vector<SEQ_GUI*> sequenceurs_gui;
/// The panels of the window's patch area (the top-level patch), newest first.
extern std::vector<OBJET*> objets_panel_front;
/// Panels kept for saving.
extern std::vector<OBJET*> objets_SAVE;
/// The cables drawn between panels.
extern std::vector<LINK*> liens;
/// 1 while the panels' backs (the wiring view) are shown.
extern int BACK_VIEW_TOGGLE;
