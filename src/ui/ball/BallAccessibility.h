#pragma once

#include <QString>

namespace zorbel::BallAccessibility {

/// The ball's accessible name and help text.
QString name();
QString help();

/// Makes assistive technology see every ball view as a button with the capture state as its
/// value, pressed to toggle recording, with an action to slide a docked ball out. Once per
/// process; later calls do nothing.
void install();

}  // namespace zorbel::BallAccessibility
