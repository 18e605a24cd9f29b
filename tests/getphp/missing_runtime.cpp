// missing_runtime.cpp - a DLL that the stand-in below imports and that the
// tests never put beside it: the stand-in then cannot start, as php-cgi.exe
// cannot where the Visual C++ runtime is missing.
extern "C" __declspec(dllexport) int OstrelMissingRuntimeAnswer() { return 0; }
