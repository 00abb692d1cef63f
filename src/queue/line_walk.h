// The line walk shared by the SMS file and MMS header readers: bytes 1 to 32
// before a line are skipped (line ends, empty lines, indentation), a line runs
// to the next CR, LF or NUL, and a NUL anywhere ends the text. So leading
// blanks never count, trailing blanks belong to the value, and empty lines are
// invisible.
#pragma once

namespace ovr::queue {

inline bool is_skipped_byte(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}

// Calls fn(line) with each line NUL-terminated in place (its end byte is
// restored afterwards); fn returns false to stop.
template <typename Fn>
void walk_lines(char* p, Fn&& fn) {
    for (;;) {
        while (is_skipped_byte(*p)) ++p;
        if (*p == 0) return;
        char* end = p;
        while (*end != 0 && *end != '\r' && *end != '\n') ++end;
        char saved = *end;
        *end = 0;
        bool go = fn(p);
        *end = saved;
        if (!go) return;
        p = end;
    }
}

}  // namespace ovr::queue
