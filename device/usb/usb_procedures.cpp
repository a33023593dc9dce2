// Placeholder until the USB link is built.
#include "device/transfer.h"

void WriteOverUSB(TransferContext& ctx) { ctx.sink.ShowMessage("The USB link is not available in this build."); }
void ReadOverUSB(TransferContext& ctx) { ctx.sink.ShowMessage("The USB link is not available in this build."); }
