// Sanitizer builds: fontconfig keeps a few blocks Qt's font setup asks for to the end of the
// process; that is not ours to free. The runtime calls this hook at start-up; other builds never do.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
