#pragma once

#include <string>
#include <string_view>

// The wire's bytes as the UTF-16 the widgets show them in: valid UTF-8 is decoded as UTF-8 (a
// byte order mark at its start dropped), anything else is taken byte for byte as Latin-1, so
// that no byte is ever lost or replaced. Valid means no overlong form, no surrogate, nothing
// above U+10FFFF and no sequence cut short; noncharacters such as U+FFFE are valid.
void WidenBytes(std::string_view bytes, std::u16string& out);
std::u16string WidenBytes(std::string_view bytes);

// The UTF-8 of well-formed UTF-16, such as WidenBytes gives, appended to out.
void AppendUtf8(std::u16string_view units, std::string& out);
