/* A library a stranger left beside a program, under a system library's name. */
__declspec(dllexport) int planted(void) { return 1; }
