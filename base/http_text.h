// Text rules of HTTP shared by the main-unit link and the local editor server.
#pragma once

#include <string>
#include <string_view>

// "+" becomes a space and "%" followed by two hexadecimal digits the byte they give; every other
// byte is copied, including a "%" that is not followed by two hexadecimal digits. Never reads
// past the end of `text`.
std::string urlDecode(std::string_view text);

// The status of a status line, code and reason phrase ("200 OK", "404 Not Found", ...) for the
// codes the tool answers with; `otherwise` for any other code.
const char* httpStatusText(int code, const char* otherwise);
