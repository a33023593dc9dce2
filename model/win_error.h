// The system's words for a Windows error code, for messages that name the
// cause: "Access is denied", without the full stop and line break the
// system adds. Windows only.
#pragma once

#include <string>

std::string WindowsErrorText(unsigned long code);
