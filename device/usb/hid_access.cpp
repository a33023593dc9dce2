#include "device/usb/hid_access.h"

void* OpenHidInterface(IHidOpenCalls& calls, const std::string& path, unsigned long& error, bool& noAccess)
{
    noAccess = false;
    error = 0;
    if (void* handle = calls.Open(path, true, error))
        return handle;
    if (error != hidAccessDeniedError)
        return nullptr;
    unsigned long second = 0;
    void* handle = calls.Open(path, false, second);
    noAccess = handle != nullptr;
    return handle;
}
