// Placeholder until the PS2 link is built.
#include "device/transfer.h"

void WriteOverPS2(TransferContext& ctx) { ctx.sink.ShowMessage("The PS2 link is not available in this build."); }
void ReadOverPS2(TransferContext& ctx) { ctx.sink.ShowMessage("The PS2 link is not available in this build."); }
