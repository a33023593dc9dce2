#include "sim/fault_switch.h"

#include <charconv>

#include "device/transfer.h"

namespace {

struct Named {
    const char* name;
    SimFault fault;
};
constexpr Named names[] = {
    {"none", SimFault::None},   {"stop", SimFault::StopMidway}, {"late", SimFault::Late},
    {"garble", SimFault::Garble}, {"refuse", SimFault::Refuse},   {"vanish", SimFault::Vanish},
    {"cts-low", SimFault::CtsLow}, {"drift", SimFault::Drift},
};

}  // namespace

bool ParseSimFault(std::string_view text, SimFaultSwitch& out)
{
    SimFaultSwitch parsed;
    std::string_view name = text;
    const std::size_t eq = text.find('=');
    if (eq != std::string_view::npos) {
        name = text.substr(0, eq);
        if (name != "refuse" && name != "drift")
            return false;
        const std::string_view number = text.substr(eq + 1);
        int n = -1;
        const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), n);
        if (ec != std::errc() || end != number.data() + number.size() || n < 0 || n > 99)
            return false;
        parsed.n = n;
    }
    for (const Named& entry : names) {
        if (name == entry.name) {
            parsed.fault = entry.fault;
            if (entry.fault == SimFault::Drift && eq == std::string_view::npos)
                parsed.n = 1;
            out = parsed;
            return true;
        }
    }
    return false;
}

std::string SimFaultName(const SimFaultSwitch& fault)
{
    for (const Named& entry : names)
        if (entry.fault == fault.fault)
            return fault.fault == SimFault::Refuse || fault.fault == SimFault::Drift
                       ? std::string(entry.name) + "=" + std::to_string(fault.n)
                                                   : std::string(entry.name);
    return "none";
}

const char* SimFaultNames() { return "stop, late, garble, refuse[=N], vanish, cts-low, drift[=N]"; }

bool SimFaultApplies(SimFault fault, int portKind)
{
    switch (fault) {
    case SimFault::None:
    case SimFault::StopMidway:
    case SimFault::Garble:
    case SimFault::Vanish:
    case SimFault::Drift:
        return true;
    case SimFault::Late:
    case SimFault::CtsLow:
        return IsComPortKind(portKind);
    case SimFault::Refuse:
        return portKind == portKindUSB;
    }
    return false;
}
