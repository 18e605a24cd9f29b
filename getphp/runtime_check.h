// runtime_check.h - the interpreter check after PHP was set up, and whether a
// failed one means that the Microsoft Visual C++ runtime is missing.
#pragma once
#include <string>

#include "http/interpreter_check.h"

// Where the user gets the runtime (the 2015-2022 x64 redistributable).
inline constexpr char kVcRuntimeUrl[] = "https://aka.ms/vs/17/release/vc_redist.x64.exe";

// CheckInterpreter on the interpreter in appDir's php folder, with the
// system's own box about a missing DLL kept from showing: the caller says it.
TInterpreterCheck CheckSetUpInterpreter(const std::string& appDir);

// A program that cannot start because a DLL is missing ends with
// 0xC0000135; one whose DLL lacks a function it needs (an older runtime than
// PHP was built with) with 0xC0000139.
bool RuntimeMissing(const TInterpreterCheck& check);
