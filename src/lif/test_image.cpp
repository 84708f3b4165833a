// SPDX-License-Identifier: MIT
#include "lif/test_image.h"

#include <algorithm>

namespace tamrik::test {

void putBE16(std::string& bytes, std::size_t offset, uint16_t value) {
  bytes[offset] = static_cast<char>(value >> 8);
  bytes[offset + 1] = static_cast<char>(value & 0xFF);
}

void putBE32(std::string& bytes, std::size_t offset, uint32_t value) {
  putBE16(bytes, offset, static_cast<uint16_t>(value >> 16));
  putBE16(bytes, offset + 2, static_cast<uint16_t>(value & 0xFFFF));
}

void ImageBuf::setAt(std::size_t offset) {
  char* begin = bytes_.data();
  char* end = begin + bytes_.size();
  setg(begin, offset < bytes_.size() ? begin + offset : end, end);
}

ImageBuf::pos_type ImageBuf::seekoff(off_type off, std::ios_base::seekdir dir,
                                     std::ios_base::openmode which) {
  if (dir == std::ios_base::cur) off += gptr() - eback();
  if (dir == std::ios_base::end) off += static_cast<off_type>(bytes_.size());
  return seekpos(pos_type(off), which);
}

ImageBuf::pos_type ImageBuf::seekpos(pos_type pos, std::ios_base::openmode) {
  const off_type offset = pos;
  if (offset < 0) return pos_type(off_type(-1));
  // Compared before the cast: a 64-bit offset cut to a 32-bit size_t would
  // land inside the image.
  setAt(offset < static_cast<off_type>(bytes_.size()) ? static_cast<std::size_t>(offset)
                                                      : bytes_.size());
  return pos;
}

std::string lifName(const std::string& text) {
  std::string name = text;
  name.resize(10, ' ');
  return name;
}

TestEntry fileEntry(const std::string& name, uint16_t typeCode, uint32_t startSector,
                    uint32_t sectorCount, uint32_t implWord) {
  TestEntry entry;
  entry.name = lifName(name);
  entry.typeCode = typeCode;
  entry.startSector = startSector;
  entry.sectorCount = sectorCount;
  entry.implWord = implWord;
  return entry;
}

std::string entryBytes(const TestEntry& entry) {
  std::string bytes(32, '\0');
  bytes.replace(0, 10, entry.name.substr(0, 10));
  putBE16(bytes, 10, entry.typeCode);
  putBE32(bytes, 12, entry.startSector);
  putBE32(bytes, 16, entry.sectorCount);
  for (std::size_t i = 0; i < 6; ++i) bytes[20 + i] = static_cast<char>(entry.stamp[i]);
  putBE16(bytes, 26, entry.volumeWord);
  putBE32(bytes, 28, entry.implWord);
  return bytes;
}

std::string TestImage::bytes() const {
  const std::size_t dirOffset = std::size_t{dirStart} * 256;
  std::string image(dirOffset + std::size_t{dirLength} * 256, '\0');
  putBE16(image, 0, lifId);
  image.replace(2, 6, label.substr(0, 6));
  putBE32(image, 8, dirStart);
  putBE16(image, 12, auxWord);
  putBE32(image, 16, dirLength);
  putBE16(image, 20, version);
  putBE32(image, 24, tracks);
  putBE32(image, 28, surfaces);
  putBE32(image, 32, sectorsPerTrack);
  for (std::size_t i = 0; i < 6; ++i) image[36 + i] = static_cast<char>(initBcd[i]);

  std::size_t offset = dirOffset;
  for (const TestEntry& entry : entries) {
    image.replace(offset, 32, entryBytes(entry));
    offset += 32;
  }
  if (endMarker && offset + 32 <= image.size()) putBE16(image, offset + 10, 0xFFFF);
  if (holdsFiles) {
    std::size_t end = image.size();
    for (const TestEntry& entry : entries) {
      end = std::max(end, (std::size_t{entry.startSector} + entry.sectorCount) * 256);
    }
    image.resize(end, '\0');
  }
  return image;
}

}  // namespace tamrik::test
