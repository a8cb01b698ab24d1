#include "panels/file_browse.h"

#include <cstring>
#include <vector>

#include "engine/display.h"

const char* recupere_nom_fichier_extreme_droite(const char* path) {
    if (path == nullptr) return nullptr;
    for (size_t i = std::strlen(path); i-- > 1;)
        if (path[i] == '/' || path[i] == '\\') return path + i + 1;
    return path;
}

namespace {
// The entry `step` places away from current in a fresh listing, held at the
// ends; empty when current is not listed. The listing is freed here: the
// caller gets a copy.
std::string neighbour(const char* current, const char* directory, const char* extension, int step) {
    if (current == nullptr) return {};
    const char* wanted = recupere_nom_fichier_extreme_droite(current);
    std::vector<char*>* listing = get_file_list(directory, extension);
    std::string found;
    const int n = (int)listing->size();
    for (int i = 0; i < n; i++) {
        if (std::strcmp(recupere_nom_fichier_extreme_droite((*listing)[i]), wanted) != 0) continue;
        const int j = i + step;
        found = (*listing)[j >= 0 && j < n ? j : i];
        break;
    }
    free_file_list(listing);
    return found;
}
}  // namespace

std::string recupere_nom_fichier_suivant(const char* current, const char* directory, const char* extension) {
    return neighbour(current, directory, extension, +1);
}

std::string recupere_nom_fichier_precedent(const char* current, const char* directory, const char* extension) {
    return neighbour(current, directory, extension, -1);
}
