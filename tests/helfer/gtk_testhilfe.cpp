// Leaks of libraries below GTK that LeakSanitizer sees in every program
// that renders text: fontconfig's pattern caches, freed only by FcFini.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
