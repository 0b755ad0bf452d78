/* Linked into every program built for LorrinBootWindow (in place of the C runtime's
 * start files, which programs do not use): the module handle that the compiler passes to
 * __cxa_atexit when it registers a static destructor. The compiler refers to it as a
 * hidden symbol, so each module must define its own. Its contents are never read. */
__attribute__((visibility("hidden"))) void *__dso_handle = 0;
