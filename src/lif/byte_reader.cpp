#include "lif/byte_reader.h"

namespace tamrik {
namespace {

template <typename T>
bool readBigEndian(std::istream& in, T& value, int bytes) {
  value = 0;
  if (!in.good()) return false;
  for (int i = 0; i < bytes; ++i) {
    const auto byte = static_cast<T>(in.get() & 0xFF);
    value = static_cast<T>(static_cast<T>(value << 8) | byte);
    if (!in.good()) break;
  }
  return in.good();
}

}  // namespace

bool readBE16(std::istream& in, uint16_t& value) {
  return readBigEndian(in, value, 2);
}

bool readBE32(std::istream& in, uint32_t& value) {
  return readBigEndian(in, value, 4);
}

std::string readFixedText(std::istream& in, std::size_t width) {
  std::string text(width, '\0');
  in.read(text.data(), static_cast<std::streamsize>(width));
  return text;
}

BcdStamp readBcdStamp(std::istream& in) {
  BcdStamp bcd{};
  in.read(reinterpret_cast<char*>(bcd.data()), static_cast<std::streamsize>(bcd.size()));
  return bcd;
}

std::string formatBcdStamp(const BcdStamp& bcd) {
  static constexpr char kSeparators[] = {'/', '/', ' ', ':', ':'};
  std::string text;
  text.reserve(17);
  for (std::size_t i = 0; i < bcd.size(); ++i) {
    if (i > 0) text += kSeparators[i - 1];
    text += static_cast<char>('0' + (bcd[i] >> 4));
    text += static_cast<char>('0' + (bcd[i] & 0x0F));
  }
  return text;
}

}  // namespace tamrik
