// What the verbs share beyond their registration.
#pragma once

#include "cli/verbs.h"
#include "device/usb/usb_ids.h"
#include "model/reader_output.h"

// The reader's identifiers: the options, then TOVASK_USB_VID / TOVASK_USB_PID,
// then the build's pair. A malformed value is reported on standard error: false.
bool ResolveUsbIds(const UsbIdOptions& ids, UsbIds& out);

// The swipe --tracks T1;T2;T3 and --damaged LIST describe (the sample card
// without them); false, reported on standard error, when they are wrong.
bool SwipeOf(const std::optional<std::string>& tracks, const std::optional<std::string>& damaged, CardSwipe& swipe);
