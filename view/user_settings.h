// The editor's settings of the current user: the recent files, the preview's
// layout, the ports and USB identifiers. Organization "Corvane ZT40 Utility",
// application "Tovask", in QSettings' default format: the native one (on
// Windows the registry key HKEY_CURRENT_USER\Software\Corvane ZT40 Utility\Tovask,
// elsewhere ~/.config/Corvane ZT40 Utility/Tovask.conf) unless a test has
// chosen INI files in a scratch folder.
#pragma once

#include <QSettings>

class UserSettings : public QSettings {
public:
    UserSettings() : QSettings(QSettings::defaultFormat(), QSettings::UserScope, "Corvane ZT40 Utility", "Tovask") {}
};
