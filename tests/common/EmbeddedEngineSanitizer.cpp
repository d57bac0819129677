// Sanitizer defaults for every test executable that opens the embedded database engine. The engine
// and its client library are not built for the checkers, so their own findings (the character-set
// tables kept to the end, their internal locking) stay out of ours. TSan's deadlock detector is off:
// it overflows and crashes on the engine's rwlocks while a database attaches.
// The runtimes call these hooks at start-up; other builds never do.
//
// AddressSanitizer does not follow __tls_get_addr here (intercept_tls_get_addr=0). The engine's
// client library and its plugins are loaded at run time and have thread-local blocks of their
// own, which glibc allocates with malloc. GCC 12's runtime takes the two words in front of such a
// block that sits 16 bytes into a page for the header of an allocator glibc no longer uses (mended
// upstream in 2023); a small block that its own allocator put there gets a wrong start and size
// (seen: "DTLS 25 at 0x11a1-0x28000022a3", the client library's 40-byte block), which the leak
// checker scans at exit and crashes its tracer ("Tracer caught signal 11") after the tests have
// passed, now and then. Unfollowed, those blocks are what they are, heap blocks that glibc's
// thread vectors point to, and the checker finds and scans them as such.
extern "C" {

const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }

const char* __lsan_default_suppressions() {
    return "leak:libicuuc.so\n"
           "leak:libicui18n.so\n";
}

const char* __tsan_default_options() { return "detect_deadlocks=0"; }

const char* __tsan_default_suppressions() {
    return "race:libEngine12.so\n"
           "race:libfbclient.so\n"
           "deadlock:libEngine12.so\n"
           "deadlock:libfbclient.so\n";
}

}  // extern "C"
