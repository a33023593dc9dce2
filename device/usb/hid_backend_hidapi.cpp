#include "device/usb/hid_backend.h"

#ifdef TOVASK_HAVE_HIDAPI
#include <hidapi.h>
#endif

namespace {

#ifdef TOVASK_HAVE_HIDAPI

constexpr std::size_t stringCapacity = 128;  // UTF-16 units: 256 bytes

bool ReadString(int (*get)(hid_device*, wchar_t*, std::size_t), hid_device* dev, std::wstring& out)
{
    wchar_t text[stringCapacity + 1] = {};
    if (get(dev, text, stringCapacity) != 0)
        return false;
    out = text;
    return true;
}

class HidapiDevice : public IHidDevice {
public:
    explicit HidapiDevice(hid_device* dev) : m_dev(dev) {}
    ~HidapiDevice() override { hid_close(m_dev); }

    bool GetAttributes(HidAttributes& out) override
    {
        const hid_device_info* info = hid_get_device_info(m_dev);
        if (!info)
            return false;
        out.vendorId = info->vendor_id;
        out.productId = info->product_id;
        out.versionNumber = info->release_number;
        return true;
    }
    bool GetManufacturerString(std::wstring& out) override
    {
        return ReadString(hid_get_manufacturer_string, m_dev, out);
    }
    bool GetProductString(std::wstring& out) override { return ReadString(hid_get_product_string, m_dev, out); }
    bool SetFeature(const std::uint8_t* report, std::size_t length) override
    {
        return hid_send_feature_report(m_dev, report, length) >= 0;
    }
    bool GetFeature(std::uint8_t* report, std::size_t length) override
    {
        return hid_get_feature_report(m_dev, report, length) >= 0;
    }

private:
    hid_device* m_dev;
};

class HidapiBackend : public IHidBackend {
public:
    HidapiBackend() { m_ready = hid_init() == 0; }
    ~HidapiBackend() override
    {
        if (m_ready)
            hid_exit();
    }

    bool Enumerate(std::vector<HidInterfaceInfo>& out) override
    {
        out.clear();
        if (!m_ready)
            return false;
        hid_device_info* list = hid_enumerate(0, 0);
        for (const hid_device_info* it = list; it; it = it->next)
            out.push_back({it->path ? it->path : "", it->vendor_id, it->product_id});
        hid_free_enumeration(list);
        return true;
    }

    std::unique_ptr<IHidDevice> Open(const std::string& path) override
    {
        if (!m_ready)
            return nullptr;
        hid_device* dev = hid_open_path(path.c_str());
        if (!dev)
            return nullptr;
        return std::make_unique<HidapiDevice>(dev);
    }

private:
    bool m_ready = false;
};

#else

// A build without hidapi sees no HID interfaces.
class HidapiBackend : public IHidBackend {
public:
    bool Enumerate(std::vector<HidInterfaceInfo>& out) override
    {
        out.clear();
        return true;
    }
    std::unique_ptr<IHidDevice> Open(const std::string&) override { return nullptr; }
};

#endif

}  // namespace

std::unique_ptr<IHidBackend> CreateSystemHidBackend() { return std::make_unique<HidapiBackend>(); }

IHidBackend& SystemHidBackend()
{
    static const std::unique_ptr<IHidBackend> backend = CreateSystemHidBackend();
    return *backend;
}
