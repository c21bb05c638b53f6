#pragma once

#include <QCoreApplication>

namespace zorbel {

/// The translation context of the settings window's and the onboarding panel's texts:
/// `SettingsText::tr("…")`.
struct SettingsText {
    Q_DECLARE_TR_FUNCTIONS(SettingsText)
};

}  // namespace zorbel
