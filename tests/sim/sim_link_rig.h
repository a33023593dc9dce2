// A started link set on the simulated reader for a transfer procedure, with
// recording host, sinks and sleeper. On a serial link the test drives the
// reader itself: every wait lets it answer.
#pragma once

#include <gtest/gtest.h>

#include "device/com/com_port.h"
#include "device/com_test_support.h"
#include "device/link_set.h"
#include "device/transfer.h"
#include "model/tovask_doc.h"
#include "sim/serial_reader.h"
#include "sim/simulated_reader.h"

struct SimLinkRig {
    explicit SimLinkRig(int portKind) : sim(portKind), links(portKind, &sim)
    {
        EXPECT_EQ(links.Start(startSink), LinkSet::StartResult::Ok);
        links.Fill(ctx);
        if (SimSerialReader* serial = sim.Serial()) {
            serial->Stop();
            sleeper.onSleep = [serial](int) { serial->Pump(); };
            links.Com()->SetWriteTimeout(100);
        }
    }

    SimReader sim;
    LinkSet links;
    CTovaskDoc doc;
    RecordingHost host;
    RecordingMessageSink startSink;
    RecordingMessageSink sink;
    RecordingSleeper sleeper;
    TransferContext ctx{doc, host, sink, sleeper};
};
