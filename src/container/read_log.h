// SPDX-License-Identifier: MIT
// What reading a container's volume met that its reader should be told:
// the 256-byte blocks read that did not come whole from the file, and why
// the file's records stopped early when they did. The command line and the
// page give it in words after a listing.
#ifndef TAMRIK_CONTAINER_READ_LOG_H_
#define TAMRIK_CONTAINER_READ_LOG_H_

#include <cstdint>
#include <string>
#include <vector>

#include "container/track_record.h"

namespace tamrik::container {

struct ReadLog {
  struct Block {
    uint64_t number;
    uint8_t states;  // a bit for each SectorState met in it but kWhole
  };
  // A sector of the volume's size whose id lies outside the disk's run.
  struct Stray {
    uint8_t cylinder;
    uint8_t head;
    uint8_t id;
  };
  std::vector<Block> blocks;  // by number, each once
  std::vector<Stray> strays;  // on the tracks read, in the order they were read
  unsigned firstId = 0;       // the disk's run of ids, for telling the strays
  unsigned lastId = 0;
  bool endReached = false;  // a read went past the end of the volume
  bool noSectors = false;   // the file has no sector that could start a volume
  std::string damage;       // why the records stopped early; empty when they did not

  // Notes a block as read, in the state of its sector (one of its sectors,
  // where they are smaller than a block).
  void read(uint64_t block, SectorState state);
};

// The log in plain words, naming block 0 the header sector and the others
// directory sectors, as a listing reads nothing else; empty when a listing
// was given all it read.
std::string describe(const ReadLog& log);

// What the log holds of the blocks from `first` up to `end`, a file's
// sectors, in the same words: "sectors 40 and 41 are not in the file; they
// were read as zeros"; empty when they all came whole.
std::string describeSectors(const ReadLog& log, uint64_t first, uint64_t end);

}  // namespace tamrik::container

#endif  // TAMRIK_CONTAINER_READ_LOG_H_
