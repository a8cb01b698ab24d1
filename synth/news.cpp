#include "synth/news.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {
NEWS_SINK sink = nullptr;
}

void news(const char* fmt, ...) {
    char text[512];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    std::fputs(text, stdout);
    std::fflush(stdout);
    if (sink == nullptr) return;
    // The last line that holds something: "\nEscape: cancelled\n" shows as "Escape: cancelled".
    std::size_t end = std::strlen(text);
    while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r')) text[--end] = '\0';
    const char* start = std::strrchr(text, '\n');
    sink(start != nullptr ? start + 1 : text);
}

void set_news_sink(NEWS_SINK s) { sink = s; }
