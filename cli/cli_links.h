// The link the command-line tool talks over, real or simulated, chosen by --port.
#pragma once

#include <memory>
#include <string>

#include "device/transfer.h"

class CliLinks {
public:
    virtual ~CliLinks() = default;
    // PORT is USB, PS2, COM1..COM8 or a serial device path; nullptr with error for an unknown port.
    static std::unique_ptr<CliLinks> Create(const std::string& port, bool simulate, std::string& error);
    // Sets the context's link and port kind, and runs the start-up checks the
    // editor runs; false when the link cannot be used (the message has been shown).
    virtual bool Prepare(TransferContext& ctx, IMessageSink& sink) = 0;
};
