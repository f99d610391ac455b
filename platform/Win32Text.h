#pragma once

#include <string>
#include <string_view>

// Names are UTF-8 inside the program and UTF-16 at the Windows system calls. Used only by the
// Win32 side of the platform layer.
namespace win32_text {

// UTF-8 to UTF-16; a byte that is not part of valid UTF-8 becomes U+FFFD.
std::wstring toWide(std::string_view text);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string toUtf8(std::wstring_view text);
// Text in a Windows code page to UTF-8; empty when the code page cannot read it.
std::string fromCodePage(unsigned int codePage, std::string_view text);
// The system's text for an error code, without its line end.
std::string systemMessage(unsigned long error);

} // namespace win32_text
