#include "app/reader_settings.h"

#include <optional>

#include "device/com/com_port.h"
#include "view/user_settings.h"

namespace {

std::optional<std::string> Setting(const QSettings& settings, const char* key)
{
    const QString text = settings.value(key).toString().trimmed();
    if (text.isEmpty())
        return std::nullopt;
    return text.toStdString();
}

}  // namespace

void ApplyPortSettings()
{
    UserSettings settings;
    for (int n = 1; n <= 8; ++n)
        SetComDeviceSetting(n, settings.value(QString("Ports/COM%1").arg(n)).toString().toStdString());
}

bool EditorUsbIds(UsbIds& out, std::string& error)
{
    UserSettings settings;
    const std::string where = " in " + settings.fileName().toStdString();
    const UsbIds build = BuildUsbIds();
    return PickUsbId({{"TOVASK_USB_VID", EnvironmentText("TOVASK_USB_VID")},
                      {"USB/VendorId" + where, Setting(settings, "USB/VendorId")}},
                     build.vendorId, out.vendorId, error)
           && PickUsbId({{"TOVASK_USB_PID", EnvironmentText("TOVASK_USB_PID")},
                         {"USB/ProductId" + where, Setting(settings, "USB/ProductId")}},
                        build.productId, out.productId, error);
}
