// What the verbs share beyond their registration.
#pragma once

#include "cli/verbs.h"
#include "device/usb/usb_ids.h"

// The reader's identifiers: the options, then TOVASK_USB_VID / TOVASK_USB_PID,
// then the build's pair. A malformed value is reported on standard error: false.
bool ResolveUsbIds(const UsbIdOptions& ids, UsbIds& out);
