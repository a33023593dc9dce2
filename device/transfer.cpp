#include "device/transfer.h"

std::string PortKindName(int portKind)
{
    if (portKind == portKindUSB)
        return "USB";
    if (portKind == portKindPS2)
        return "PS2";
    if (IsComPortKind(portKind))
        return "COM" + std::to_string(portKind - 1);
    return {};
}

void OnWriteIntoMR(TransferContext& ctx)
{
    if (ctx.portKind == portKindUSB) {
        WriteOverUSB(ctx);
    } else if (ctx.portKind == portKindPS2) {
        WriteOverPS2(ctx);
    } else if (IsComPortKind(ctx.portKind)) {
        if (ctx.comPortReady)
            WriteOverCOM(ctx);
        else
            ctx.sink.ShowMessage(msg::noComPortOpened);
    }
}

void OnReadFromMR(TransferContext& ctx)
{
    if (ctx.portKind == portKindUSB) {
        ReadOverUSB(ctx);
    } else if (ctx.portKind == portKindPS2) {
        ReadOverPS2(ctx);
    } else if (IsComPortKind(ctx.portKind)) {
        if (ctx.comPortReady)
            ReadOverCOM(ctx);
        else
            ctx.sink.ShowMessage(msg::noComPortOpened);
    }
}
