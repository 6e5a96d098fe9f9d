// Sample formats of readtype_MBR: 16-bit linear to unsigned 8-bit, mu-law and A-law bytes.
#pragma once

#include <cstdint>

namespace mbrola_standin {

// Values as in the C interface's AudioType.
enum class SampleFormat { Linear16 = 0, Linear8 = 1, MuLaw = 2, ALaw = 3 };

std::uint8_t MuLawOf(std::int16_t sample);
std::uint8_t ALawOf(std::int16_t sample);
// One byte per sample into out (Linear16 is not a byte format and writes nothing).
void EncodeSamples(const std::int16_t* samples, int count, SampleFormat format, std::uint8_t* out);

}  // namespace mbrola_standin
