// Sanitizer builds: the embedded engine is not built for the checkers, so its own findings
// (the character-set tables it keeps to the end, its internal locking) stay out of ours.
// The runtimes call these hooks at start-up; other builds never do.
extern "C" {

const char* __lsan_default_suppressions() {
    return "leak:libicuuc.so\n"
           "leak:libicui18n.so\n";
}

// The deadlock detector overflows inside the engine; the lock-order test, which opens no database,
// turns it back on with TSAN_OPTIONS=detect_deadlocks=1.
const char* __tsan_default_options() { return "detect_deadlocks=0"; }

const char* __tsan_default_suppressions() {
    return "race:libEngine12.so\n"
           "race:libfbclient.so\n"
           "deadlock:libEngine12.so\n"
           "deadlock:libfbclient.so\n";
}

}  // extern "C"
