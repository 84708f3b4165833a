// SPDX-License-Identifier: MIT
// The system's words for the error of the last call that failed, in the
// same words on every system where the C library has them.
#ifndef TAMRIK_IO_SYSTEM_ERROR_H_
#define TAMRIK_IO_SYSTEM_ERROR_H_

#include <string>

namespace tamrik::io {

std::string lastSystemError();

}  // namespace tamrik::io

#endif  // TAMRIK_IO_SYSTEM_ERROR_H_
