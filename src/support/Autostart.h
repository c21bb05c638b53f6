#pragma once

#include <QString>

/// The "登录时启动" setting: an entry in the desktop's autostart folder
/// ($XDG_CONFIG_HOME/autostart) that starts this program at login.
namespace zorbel::Autostart {

/// The entry's path.
QString entryPath();
/// Whether the entry exists.
bool isEnabled();
/// Writes the entry for `executable` (replacing an older one), or removes it. Returns whether
/// the change took effect.
bool setEnabled(bool enabled, const QString& executable);

}  // namespace zorbel::Autostart
