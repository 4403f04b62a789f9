// The sanitizers' settings for every program of a sanitized build (KORVAN_SANITIZE), so that
// the tests, the road scripts and a hand-started program all stop at the first report and look
// for leaks, whoever starts them. Settings given in the environment still take precedence.

extern "C" {

const char* __asan_default_options()
{
    return "halt_on_error=1:detect_leaks=1";
}

const char* __ubsan_default_options()
{
    return "halt_on_error=1:print_stacktrace=1";
}

// Leaks of the libraries below us, not of our code; the file says which and why.
const char* __lsan_default_options()
{
    return "suppressions=" KORVAN_LSAN_SUPPRESSIONS ":print_suppressions=0";
}
}
