// Texts of drawings are outlined through fontconfig, which leaves a few
// hundred bytes of its initialisation unreachable; the leak checker of the
// sanitizer build is told to pass over allocations made inside it.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
