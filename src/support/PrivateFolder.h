#pragma once

#include <QString>

namespace zorbel {

/// The user's own folder for recordings and the instance socket: "zorbel" in
/// `$XDG_RUNTIME_DIR`, else in `$XDG_CACHE_HOME` (default ~/.cache). Created with mode 0700; an
/// existing one that is not a folder owned by the user with mode 0700 is refused. Empty when
/// no such folder can be had.
QString privateFolder();

}  // namespace zorbel
