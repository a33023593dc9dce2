#include "app/lock_keys.h"

#include <QGuiApplication>

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
#include <QtGui/qguiapplication_platform.h>
#include <dlfcn.h>
#elif defined(Q_OS_WIN)
#include <windows.h>
#endif

std::optional<LockKeyState> QueryLockKeys()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN) && QT_CONFIG(xcb)
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display())
        return std::nullopt;
    // libX11 is loaded on demand, so the program needs it only on X11.
    using GetIndicatorState = int (*)(Display*, unsigned int, unsigned int*);
    static const GetIndicatorState getState = [] {
        void* lib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
        return lib ? reinterpret_cast<GetIndicatorState>(dlsym(lib, "XkbGetIndicatorState")) : nullptr;
    }();
    if (!getState)
        return std::nullopt;
    constexpr unsigned int useCoreKeyboard = 0x0100;
    unsigned int state = 0;
    if (getState(x11->display(), useCoreKeyboard, &state) != 0)
        return std::nullopt;
    // The keyboard's first three indicators are Caps Lock, Num Lock and Scroll Lock.
    return LockKeyState{(state & 0x1) != 0, (state & 0x2) != 0, (state & 0x4) != 0};
#elif defined(Q_OS_WIN)
    // Only the windows platform has the keyboard; offscreen has none, as on Linux.
    if (QGuiApplication::platformName() != QLatin1String("windows"))
        return std::nullopt;
    // The low bit of a toggle key's state says whether it is on.
    return LockKeyState{(GetKeyState(VK_CAPITAL) & 1) != 0, (GetKeyState(VK_NUMLOCK) & 1) != 0,
                        (GetKeyState(VK_SCROLL) & 1) != 0};
#else
    return std::nullopt;
#endif
}
