// SPDX-License-Identifier: MIT
// What a volume's own directory shows to be impossible: files that share
// sectors, a file that starts inside the header or the directory, and a
// file whose sectors pass the end of the image. Such a directory still
// lists as stored; this says what is wrong with it.
#ifndef TAMRIK_LIF_VOLUME_FAULTS_H_
#define TAMRIK_LIF_VOLUME_FAULTS_H_

#include <streambuf>
#include <string>

#include "lif/lif_volume.h"

namespace tamrik {

// The faults of a volume that was read, in plain words, clauses joined by
// "; "; empty when there are none. `image` is the volume's bytes: its size
// is asked of it (a seek to its end) only when a file lies past what was
// read, and a stream that cannot tell its size is taken to hold every
// sector.
std::string volumeFaults(const LifVolume& volume, std::streambuf& image);

}  // namespace tamrik

#endif  // TAMRIK_LIF_VOLUME_FAULTS_H_
