#pragma once

#include <QCoreApplication>

namespace zorbel {

/// The translation context of the confirm panel's texts: `ConfirmText::tr("…")`.
struct ConfirmText {
    Q_DECLARE_TR_FUNCTIONS(ConfirmText)
};

}  // namespace zorbel
