// Measurements of synthesized sound for the tests: pitch, formants, levels, G.711 decoding, WAV output.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace mbrola_standin_test {

// Fundamental frequency by normalised autocorrelation, searched between the limits.
double MeasurePitchHz(std::span<const std::int16_t> samples, double rate, double lowHz, double highHz);

// Peaks of the LPC envelope (autocorrelation method, Hamming window, pre-emphasis),
// in ascending order.
std::vector<double> MeasureFormantsHz(std::span<const std::int16_t> samples, double rate, int order);

double Rms(std::span<const std::int16_t> samples);
// Share of the energy above the given frequency (by a plain DFT over the span).
double EnergyShareAbove(std::span<const std::int16_t> samples, double rate, double hz);

std::int16_t DecodeMuLaw(std::uint8_t code);
std::int16_t DecodeALaw(std::uint8_t code);

bool WriteWav(const std::string& path, std::span<const std::int16_t> samples, int rate);

}  // namespace mbrola_standin_test
