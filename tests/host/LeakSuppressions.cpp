// Leaks LeakSanitizer finds in libraries below us, not in the host or the
// plug-in: libcups keeps a few strings of the PPD cache that cupsMarkOptions
// builds and ppdClose does not free, and fontconfig keeps its parsed
// configuration for the life of the process. Everything else must be clean.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:_ppdCacheCreateWithPPD\n"
           "leak:libfontconfig.so\n";
}

// libcups is built without frame pointers: only the slow unwinder sees the
// frames that the suppressions above name.
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }
extern "C" const char* __lsan_default_options() { return "fast_unwind_on_malloc=0"; }
