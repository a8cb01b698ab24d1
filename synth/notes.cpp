#include "synth/notes.h"

#include <cmath>

double NOTE2FREQ[NOTE2FREQ_SIZE];

void fill_NOTE2FREQ() {
    for (int i = 0; i < NOTE2FREQ_SIZE; i++) {
        // The exponent and the power are single precision on purpose: stored
        // patches were tuned against exactly these values.
        float exponent = static_cast<float>((i + 11) / 12.0);
        float power = powf(2.0f, exponent);
        NOTE2FREQ[i] = 8.1757989 * static_cast<double>(power);
    }
}
