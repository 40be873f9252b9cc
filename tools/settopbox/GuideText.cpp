#include "settopbox/GuideText.h"

#include "settopbox/ChannelNames.h"

#include <algorithm>
#include <cstdio>

namespace halcyon::settopbox {

namespace {

constexpr long kOffsetSecs = 3600;
// A day of programmes only when they are long enough: short ones (for tests) go a few hours ahead.
constexpr int kMostProgrammesPerChannel = 600;

std::string xmltvTime(std::time_t utc) {
    const std::time_t local = utc + kOffsetSecs;
    std::tm tm{};
    gmtime_r(&local, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S +0100", &tm);
    return text;
}

std::string title(int channel, long slot) {
    static const char *const kTitles[] = {"Journal",       "Météo",        "Documentaire", "Série : Les Côtes",
                                          "Cinéma",        "Dessins animés", "Magazine",   "Sport & Santé",
                                          "Jeu télévisé", "Concert"};
    const long count = sizeof(kTitles) / sizeof(kTitles[0]);
    return std::string(kTitles[(slot + channel) % count]) + " " + std::to_string(slot % 1000);
}

std::string escaped(const std::string &text) {
    std::string out;
    for (const char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else
            out += c;
    }
    return out;
}

} // namespace

std::string guideText(const std::vector<int> &channels, std::time_t now, int programmeSeconds) {
    const long length = std::max(1, programmeSeconds);
    const long first = (now - 3600) / length;
    const long last = std::min<long>((now + 24 * 3600) / length, first + kMostProgrammesPerChannel);
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tv generator-info-name=\"halcyon-settopbox\">\n";
    for (const int n : channels)
        text += "  <channel id=\"" + guideChannelId(n) + "\"><display-name>" + escaped(channelName(n)) +
                "</display-name></channel>\n";
    for (const int n : channels) {
        for (long slot = first; slot <= last; ++slot) {
            text += "  <programme start=\"" + xmltvTime(slot * length) + "\" stop=\"" +
                    xmltvTime((slot + 1) * length) + "\" channel=\"" + guideChannelId(n) + "\">";
            text += "<title lang=\"fr\">" + escaped(title(n, slot)) + "</title></programme>\n";
        }
    }
    text += "</tv>\n";
    return text;
}

} // namespace halcyon::settopbox
