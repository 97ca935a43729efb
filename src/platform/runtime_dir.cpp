#include "platform/runtime_dir.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace orv {
namespace {

// The folder exists as a real folder of `uid`, closed to everyone else.
bool PrivateFolder(const std::string& path, uid_t uid) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != uid) return false;
  if ((st.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0) return false;
  return true;
}

}  // namespace

std::string RuntimeDirectory(const std::string& xdg_runtime_dir, uid_t uid, const std::string& tmp) {
  if (!xdg_runtime_dir.empty() && xdg_runtime_dir.front() == '/') return xdg_runtime_dir;
  const std::string folder = tmp + "/orv-" + std::to_string(uid);
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
  return PrivateFolder(folder, uid) ? folder : std::string();
}

std::string ProcessRuntimeDirectory() {
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  return RuntimeDirectory(xdg ? xdg : "", ::getuid());
}

}  // namespace orv
