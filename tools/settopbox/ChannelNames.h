#pragma once

#include <string>

namespace halcyon::settopbox {

// Names as the box lists them: "<number> - Halcyon <word>", plain ASCII so that a reader that
// takes the playlist byte for byte shows them unchanged.
inline std::string channelName(int number) {
    static const char *const kWords[] = {"Une",   "Deux",     "Trois",    "Quatre",   "Cinq",
                                         "Six",   "Sept",     "Huit",     "Neuf",     "Dix",
                                         "Onze",  "Douze",    "Treize",   "Quatorze", "Quinze",
                                         "Seize", "Dix-sept", "Dix-huit", "Dix-neuf", "Vingt"};
    const int count = sizeof(kWords) / sizeof(kWords[0]);
    const int i = ((number - 201) % count + count) % count;
    return std::to_string(number) + " - Halcyon " + kWords[i];
}

} // namespace halcyon::settopbox
