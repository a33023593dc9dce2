// Write into MR and Read from MR over the serial link.
#include <array>
#include <cstdint>

#include "device/com/com_port.h"
#include "device/com/com_reply.h"
#include "device/transfer.h"

void WriteOverCOM(TransferContext& ctx)
{
    if (!ctx.host.UpdateTemplateFromPanel())
        return;
    ctx.doc.EncodeImage();

    CComPort* com = ctx.com;
    if (!com || !com->OpenPort(ctx.portKind - 1)) {
        ctx.sink.ShowMessage(msg::cantOpenComPort);
        ctx.host.Redraw();
        return;
    }
    com->transmitBuffer = ctx.doc.image;

    ctx.sleeper.Sleep(100);
    const bool sent = com->SendImage(ctx.sleeper);
    ctx.sleeper.Sleep(100);
    com->SendEnd();
    ctx.sleeper.Sleep(100);
    com->ClosePort();

    ctx.sink.ShowMessage(sent ? msg::writingOk : msg::writingError);
    ctx.host.Redraw();
}

void ReadOverCOM(TransferContext& ctx)
{
    CComPort* com = ctx.com;
    if (!com || !com->OpenPort(ctx.portKind - 1)) {
        ctx.sink.ShowMessage(msg::cantOpenComPort);
        return;
    }

    // A fresh buffer for every read: bytes of an earlier reply must not be
    // taken for part of this one.
    std::array<std::uint8_t, CComPort::readBlockSize> received{};
    ctx.sleeper.Sleep(100);
    com->SendReadRequest();
    ctx.sleeper.Sleep(250);
    const int count = com->ReadBlock(received.data());
    ctx.sleeper.Sleep(100);
    com->ClosePort();

    // Decoded into a copy: the document's image changes only when the whole
    // reply is accepted.
    ConfigImage image = ctx.doc.image;
    switch (CheckComReply(received.data(), count, image)) {
    case ComReply::Accepted:
        break;
    case ComReply::WrongPacket:
        ctx.sink.ShowMessage(msg::wrongPacket);
        return;
    case ComReply::Rejected:
        ctx.sink.ShowMessage(msg::comReadingError);
        return;
    }

    ctx.doc.image = image;
    ctx.doc.DecodeImage();
    ctx.host.UpdatePanelFromTemplate();
    ctx.sink.ShowMessage(msg::readingOk);
    // The record changed: the diagram shows it at once.
    ctx.host.Redraw();
}
