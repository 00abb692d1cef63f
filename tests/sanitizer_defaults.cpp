// Every test program carries the leak suppressions of lsan.supp itself, so a
// run started any way (ctest, by hand, under a debugger) reports the same:
// memory that system libraries keep for the life of the process (the D-Bus
// connection Qt's platform integration opens, the font configuration).
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libdbus-1.so\n"
           "leak:libfontconfig.so\n";
}
