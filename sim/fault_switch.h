// The simulated reader's misbehaviours, one switch each, for trying out how
// the program copes (tovask --simulate --fault=NAME, tovask-cli ... --fault=NAME)
// and for the tests that check it.
#pragma once

#include <string>
#include <string_view>

enum class SimFault {
    None,
    StopMidway,  // "stop": the reader stops answering halfway through a command
    Late,        // "late": serial answers come 400 ms after the request, past the 250 ms read
    Garble,      // "garble": one byte of an answer or of what the reader takes is wrong
    Refuse,      // "refuse=N": the N-th HID report of every sequence is refused
    Vanish,      // "vanish": the reader is unplugged after it was found, before it is opened
    CtsLow,      // "cts-low": the serial line's CTS stays low, nothing can be sent
    Drift,       // "drift=N": from the N-th read on (1 unless given), a well-formed answer
                 // carries an output delay one off what the reader holds
};

struct SimFaultSwitch {
    SimFault fault = SimFault::None;
    int n = 3;  // the report number of Refuse, the first read of Drift

    bool operator==(const SimFaultSwitch&) const = default;
};

// "none", "stop", "late", "garble", "refuse", "refuse=N", "vanish", "cts-low".
// False for any other text; out is then unchanged.
bool ParseSimFault(std::string_view text, SimFaultSwitch& out);
std::string SimFaultName(const SimFaultSwitch& fault);
// The names, for help texts.
const char* SimFaultNames();
// Whether the fault can happen on this link (portKind as in PortKind).
bool SimFaultApplies(SimFault fault, int portKind);
