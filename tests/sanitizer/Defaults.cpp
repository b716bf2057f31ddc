// Linked into every program of the sanitizer build: its settings travel with
// the program, so a test run by CTest, by hand or from a script (and the
// test lists CMake reads from the test programs at build time) all stop at
// the first error and check for leaks the same way.
extern "C" {

const char* __asan_default_options()
{
    return "detect_leaks=1:halt_on_error=1:check_initialization_order=1:strict_init_order=1";
}

const char* __ubsan_default_options()
{
    return "halt_on_error=1:print_stacktrace=1";
}

const char* __lsan_default_options()
{
    return "suppressions=" PED_LSAN_SUPPRESSIONS ":print_suppressions=0";
}

} // extern "C"
