// SPDX-License-Identifier: MIT
#include <cerrno>
#include <cstring>

#include "io/system_error.h"

namespace tamrik::io {

std::string lastSystemError() {
  return std::strerror(errno);
}

}  // namespace tamrik::io
