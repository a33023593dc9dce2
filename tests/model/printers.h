// Readable failure output for the model's records.
#pragma once

#include <ostream>

#include "model/template_record.h"

inline void PrintTo(const TemplateRecord& r, std::ostream* os)
{
    *os << "{";
    for (int k = 0; k < formatFieldCount; ++k)
        *os << k << ":'" << r.formatFields[k].text << "'/" << r.formatFields[k].enabled << " ";
    *os << "tracks " << r.trackEnabled[0] << r.trackEnabled[1] << r.trackEnabled[2] << " err " << r.errorMode
        << " beeps " << r.longBeepOnGoodRead << r.threeBeepsOnError << " serial " << r.baudIndex << ","
        << r.parityIndex << "," << r.dataBitsIndex << "," << r.flowControlIndex << " delay "
        << int(r.outputDelay) << " opos " << r.oposMode << "}";
}
