// Log_: the program's in-memory diagnostic log, newest message first.
#pragma once

#include <cstdint>

#include "base/AnsiString.h"
#include "base/Llist.h"

class Log_ {
  public:
    Llist<AnsiString> entries{0, 1, true};  // newest first, at most maxEntries
    bool enabled = false;                   // nothing is recorded until this is set
    bool changed = false;                   // set whenever a line is recorded

    static constexpr int maxEntries = 20;

    // Records the message stamped with the monotonic millisecond clock, when enabled.
    void add(const AnsiString& text);

    // Records the message with the given clock reading: "1234.005s|     text".
    void addAt(std::uint32_t ticks, const AnsiString& text);
};

// The one program-wide log. It is built on first use, so that modules may log while they are
// being initialised, whatever order their globals are built in.
Log_& programLog();

// Says a message the user may need (which sound output opened, a settings file left alone, the
// scale chosen) on standard error as "brevant: message", and records it in the program log.
void report(const AnsiString& message);
