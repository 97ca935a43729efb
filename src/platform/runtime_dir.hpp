// The folder for this user's runtime files (locks and local sockets):
// $XDG_RUNTIME_DIR, or, when that is unset, a folder /tmp/orv-<uid> that
// only this user can enter.
#pragma once

#include <sys/types.h>

#include <string>

namespace orv {

// `xdg_runtime_dir` when it is an absolute path; otherwise the fallback
// folder under `tmp`, created 0700 when missing. A fallback that is not a
// real folder owned by `uid` (a symbolic link, or another user's folder)
// is refused: the result is then empty. One owned by `uid` with wider
// permissions is narrowed to 0700.
std::string RuntimeDirectory(const std::string& xdg_runtime_dir, uid_t uid, const std::string& tmp = "/tmp");

// The same for this process: $XDG_RUNTIME_DIR and the real user id.
std::string ProcessRuntimeDirectory();

}  // namespace orv
