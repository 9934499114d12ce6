// Linked into kelo only in sanitizer builds. A default; ASAN_OPTIONS can still override it.

// Kelo# ends inside its own teardown (the bridge exits the process while the QML engine is being
// destroyed), and until then much of what it holds is reachable only through the JavaScript heap,
// which LeakSanitizer does not scan. No moment in this process lets it tell a leak from memory in
// use, so the program's code is leak-checked in the tests that drive it directly instead.
extern "C" __attribute__((visibility("default"), used)) const char *__asan_default_options()
{
    return "detect_leaks=0";
}
