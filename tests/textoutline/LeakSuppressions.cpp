// fontconfig leaves a few hundred bytes of its initialisation unreachable
// (a plain match in a ten-line C program shows the same); the leak checker
// of the sanitizer build is told to pass over allocations made inside it.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
