// Measurements of synthesized sound for the tests: pitch, formants, levels, G.711 decoding, WAV output.
#include "tests/mbrola_standin/audio_measure.h"

#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "text/wave.h"

namespace mbrola_standin_test {

double MeasurePitchHz(std::span<const std::int16_t> samples, double rate, double lowHz, double highHz) {
  const int minLag = static_cast<int>(std::floor(rate / highHz));
  const int maxLag = static_cast<int>(std::ceil(rate / lowHz));
  const int n = static_cast<int>(samples.size()) - maxLag - 1;
  if (n <= 0) return 0;
  std::vector<double> score(static_cast<std::size_t>(maxLag + 2), 0.0);
  for (int lag = minLag; lag <= maxLag + 1; ++lag) {
    double cross = 0, a = 0, b = 0;
    for (int i = 0; i < n; ++i) {
      cross += double(samples[i]) * samples[i + lag];
      a += double(samples[i]) * samples[i];
      b += double(samples[i + lag]) * samples[i + lag];
    }
    score[lag] = a > 0 && b > 0 ? cross / std::sqrt(a * b) : 0;
  }
  int best = minLag;
  for (int lag = minLag; lag <= maxLag; ++lag) {
    if (score[lag] > score[best]) best = lag;
  }
  // Parabolic refinement around the best lag.
  double lag = best;
  if (best > minLag) {
    const double l = score[best - 1], c = score[best], r = score[best + 1];
    const double d = l - 2 * c + r;
    if (d < 0) lag += 0.5 * (l - r) / d;
  }
  return rate / lag;
}

std::vector<double> MeasureFormantsHz(std::span<const std::int16_t> samples, double rate, int order) {
  const std::size_t n = samples.size();
  std::vector<double> x(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double emphasised = samples[i] - (i > 0 ? 0.97 * samples[i - 1] : 0.0);
    const double window = 0.54 - 0.46 * std::cos(2 * std::numbers::pi * double(i) / double(n - 1));
    x[i] = emphasised * window;
  }
  std::vector<double> r(static_cast<std::size_t>(order) + 1, 0.0);
  for (int k = 0; k <= order; ++k) {
    for (std::size_t i = static_cast<std::size_t>(k); i < n; ++i) r[k] += x[i] * x[i - k];
  }
  // Levinson-Durbin: a[0] = 1, predictor polynomial A(z) = sum a[k] z^-k.
  std::vector<double> a(static_cast<std::size_t>(order) + 1, 0.0), previous;
  a[0] = 1;
  double error = r[0];
  for (int i = 1; i <= order && error > 0; ++i) {
    double acc = r[i];
    for (int j = 1; j < i; ++j) acc += a[j] * r[i - j];
    const double k = -acc / error;
    previous = a;
    for (int j = 1; j < i; ++j) a[j] = previous[j] + k * previous[i - j];
    a[i] = k;
    error *= 1 - k * k;
  }
  // Peaks of 1/|A| on a 5 Hz grid.
  std::vector<double> envelope;
  const double step = 5;
  for (double f = 0; f < rate / 2; f += step) {
    double re = 0, im = 0;
    for (int k = 0; k <= order; ++k) {
      const double w = 2 * std::numbers::pi * f * k / rate;
      re += a[k] * std::cos(w);
      im -= a[k] * std::sin(w);
    }
    envelope.push_back(1 / std::sqrt(re * re + im * im));
  }
  std::vector<double> peaks;
  for (std::size_t i = 1; i + 1 < envelope.size(); ++i) {
    if (envelope[i] > envelope[i - 1] && envelope[i] >= envelope[i + 1]) peaks.push_back(double(i) * step);
  }
  return peaks;
}

double Rms(std::span<const std::int16_t> samples) {
  if (samples.empty()) return 0;
  double sum = 0;
  for (const std::int16_t s : samples) sum += double(s) * s;
  return std::sqrt(sum / double(samples.size()));
}

double EnergyShareAbove(std::span<const std::int16_t> samples, double rate, double hz) {
  const std::size_t n = samples.size();
  double above = 0, total = 0;
  for (std::size_t bin = 1; bin < n / 2; ++bin) {
    double re = 0, im = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const double w = 2 * std::numbers::pi * double(bin) * double(i) / double(n);
      re += samples[i] * std::cos(w);
      im -= samples[i] * std::sin(w);
    }
    const double power = re * re + im * im;
    total += power;
    if (double(bin) * rate / double(n) > hz) above += power;
  }
  return total > 0 ? above / total : 0;
}

std::int16_t DecodeMuLaw(std::uint8_t code) {
  const int u = static_cast<std::uint8_t>(~code);
  const int exponent = (u >> 4) & 7;
  const int magnitude = (((u & 0x0F) << 3) + 0x84) << exponent;
  return static_cast<std::int16_t>((u & 0x80) != 0 ? 0x84 - magnitude : magnitude - 0x84);
}

std::int16_t DecodeALaw(std::uint8_t code) {
  const int a = code ^ 0x55;
  int magnitude = (a & 0x0F) << 4;
  const int segment = (a & 0x70) >> 4;
  if (segment == 0) {
    magnitude += 8;
  } else {
    magnitude = (magnitude + 0x108) << (segment - 1);
  }
  return static_cast<std::int16_t>((a & 0x80) != 0 ? magnitude : -magnitude);
}

bool WriteWav(const std::string& path, std::span<const std::int16_t> samples, int rate) {
  std::vector<std::uint8_t> data;
  data.reserve(samples.size() * 2);
  for (const std::int16_t s : samples) {
    data.push_back(static_cast<std::uint8_t>(s));
    data.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) >> 8));
  }
  const std::vector<std::uint8_t> image = text::WaveImage(data, static_cast<std::uint32_t>(rate), 16, 1);
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(image.data(), 1, image.size(), file) == image.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace mbrola_standin_test
