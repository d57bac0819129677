// Sanitizer defaults for every test executable that opens the embedded database engine. The engine
// and its client library are not built for the checkers, so their own findings (the character-set
// tables kept to the end, their internal locking) stay out of ours. TSan's deadlock detector is off:
// it overflows and crashes on the engine's rwlocks while a database attaches.
// The runtimes call these hooks at start-up; other builds never do.
extern "C" {

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
