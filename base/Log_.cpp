// Log_: the program's in-memory diagnostic log of the newest messages.
#include "base/Log_.h"

#include <cstdio>

#include "base/TextConversions.h"
#include "platform/system/Clock.h"

void Log_::add(const AnsiString& text) {
    if (!enabled) return;
    addAt(platform::clockMilliseconds(), text);
}

void Log_::addAt(std::uint32_t ticks, const AnsiString& text) {
    if (!enabled) return;
    unsigned seconds = ticks / 1000;
    unsigned ms = ticks - 1000 * seconds;
    AnsiString millis = toText(ms);
    millis.insert(0, 3 - millis.size(), '0');
    entries.insert(toText(seconds) + "." + millis + "s|     " + text, 0);
    if (entries.top + 1 > maxEntries) entries.remove(entries.top);
    changed = true;
}

Log_& programLog() {
    static Log_ log;
    return log;
}

void report(const AnsiString& message) {
    std::fprintf(stderr, "brevant: %s\n", message.c_str());
    std::fflush(stderr);
    programLog().add(message);
}
