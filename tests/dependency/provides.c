// What NeedsDependency.dll needs: a test puts it in the current folder only.
__declspec(dllexport) int VarnosklenDependency(void) { return 1; }
