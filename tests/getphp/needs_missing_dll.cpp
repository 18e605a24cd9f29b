// needs_missing_dll.cpp - a php-cgi.exe stand-in linked against a DLL that is
// not there: Windows ends it before main with 0xC0000135.
extern "C" __declspec(dllimport) int OstrelMissingRuntimeAnswer();

int main() { return OstrelMissingRuntimeAnswer(); }
