#include "shell/globals.h"

const int Frequency = 44100;
const int BufferSize = 12288;
std::atomic<int> CALLBACK_READY{0};
GENERATOR* gen = nullptr;
std::atomic<GENERATOR*> main_gen{nullptr};
