// Sample formats of readtype_MBR: 16-bit linear to unsigned 8-bit, mu-law and A-law bytes.
#include "mbrola_standin/audio_format.h"

namespace mbrola_standin {

// G.711 mu-law: bias, clip, then an exponent (the top set bit) and four mantissa bits,
// all inverted.
std::uint8_t MuLawOf(std::int16_t sample) {
  constexpr int Bias = 0x84;
  constexpr int Clip = 32635;
  int value = sample;
  const int sign = value < 0 ? 0x80 : 0;
  if (value < 0) value = -value;
  if (value > Clip) value = Clip;
  value += Bias;
  int exponent = 7;
  for (int mask = 0x4000; (value & mask) == 0 && exponent > 0; mask >>= 1) --exponent;
  const int mantissa = (value >> (exponent + 3)) & 0x0F;
  return static_cast<std::uint8_t>(~(sign | (exponent << 4) | mantissa));
}

// G.711 A-law on the 13-bit magnitude: a segment number and four bits, with the
// even bits inverted (0xD5 for positive samples, 0x55 for negative ones).
std::uint8_t ALawOf(std::int16_t sample) {
  int value = sample >> 3;
  int mask = 0xD5;
  if (value < 0) {
    mask = 0x55;
    value = -value - 1;
  }
  int segment = 0;
  while (segment < 8 && value > (0x20 << segment) - 1) ++segment;
  if (segment >= 8) return static_cast<std::uint8_t>(0x7F ^ mask);
  int code = segment << 4;
  code |= segment < 2 ? (value >> 1) & 0x0F : (value >> segment) & 0x0F;
  return static_cast<std::uint8_t>(code ^ mask);
}

void EncodeSamples(const std::int16_t* samples, int count, SampleFormat format, std::uint8_t* out) {
  for (int i = 0; i < count; ++i) {
    switch (format) {
      case SampleFormat::Linear8: out[i] = static_cast<std::uint8_t>((samples[i] >> 8) + 128); break;
      case SampleFormat::MuLaw: out[i] = MuLawOf(samples[i]); break;
      case SampleFormat::ALaw: out[i] = ALawOf(samples[i]); break;
      case SampleFormat::Linear16: return;
    }
  }
}

}  // namespace mbrola_standin
