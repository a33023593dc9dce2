// Keys as they reach tovask-cli: typed at its terminal, or read from a Linux
// input device (the reader's own key events).
#pragma once

#include <memory>
#include <optional>
#include <string>

// Standard input one byte at a time: a terminal without echo or line editing
// (restored on exit and on Ctrl+C), or a pipe as it is.
class KeyInput {
public:
    virtual ~KeyInput() = default;
    // The next byte within timeoutMs (-1: no limit); nothing on time-out or at the end.
    virtual std::optional<unsigned char> Read(int timeoutMs) = 0;
    virtual bool AtEnd() const = 0;
};
std::unique_ptr<KeyInput> OpenTerminalInput(std::string& error);

// One key event of an input device: evdev key code, value (1 press, 0 release, 2 repeat), time in ms.
struct DeviceKeyEvent {
    int code = 0;
    int value = 0;
    long long atMs = 0;
};
class DeviceInput {
public:
    virtual ~DeviceInput() = default;
    // The next key event within timeoutMs (-1: no limit); nothing on time-out or at the end.
    virtual std::optional<DeviceKeyEvent> Read(int timeoutMs) = 0;
    virtual bool AtEnd() const = 0;
};
// The device /dev/input/eventN (or a recording of its events); null with the reason.
std::unique_ptr<DeviceInput> OpenDeviceInput(const std::string& path, std::string& error);

// Milliseconds from a fixed start.
long long NowMs();
