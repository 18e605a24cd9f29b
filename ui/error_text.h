// error_text.h - the text of the error box that shows an error escaping a
// window event handler.
#pragma once
#include <string>

// The message with a full stop appended when its last character sorts after ".".
std::string ErrorBoxText(const std::string& message);
