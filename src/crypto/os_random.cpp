#include "crypto/os_random.hpp"

#include <sys/random.h>

#include <cerrno>

namespace orv {

void OsRandomBytes(uint8_t* out, size_t n) {
  size_t done = 0;
  while (done < n) {
    const ssize_t got = getrandom(out + done, n - done, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return;
    }
    done += static_cast<size_t>(got);
  }
}

}  // namespace orv
