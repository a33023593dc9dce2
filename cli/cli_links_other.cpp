#include "cli/cli_links.h"

std::unique_ptr<CliLinks> CreateUsbLinks(bool, std::string& error)
{
    error = "the USB link is not available in this build";
    return nullptr;
}

std::unique_ptr<CliLinks> CreatePs2Links(bool, std::string& error)
{
    error = "the PS2 link is not available in this build";
    return nullptr;
}
