// Placeholder until the COM link is built.
#include "device/transfer.h"

void WriteOverCOM(TransferContext& ctx) { ctx.sink.ShowMessage("The COM link is not available in this build."); }
void ReadOverCOM(TransferContext& ctx) { ctx.sink.ShowMessage("The COM link is not available in this build."); }
