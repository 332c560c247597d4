/* A library of a name that no system folder holds, built beside the window
   tests: it stands in for a DLL that a drive-by download plants in the
   Downloads folder beside the program. */
__declspec(dllexport) int cs_planted(void) { return 1; }
