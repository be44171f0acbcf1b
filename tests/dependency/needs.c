// A library that loads only where VarnosklenDependency.dll is found for it.
__declspec(dllimport) int VarnosklenDependency(void);
__declspec(dllexport) int NeedsDependency(void) { return VarnosklenDependency(); }
