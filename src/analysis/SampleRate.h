#pragma once
// Sample rate of the capture buffers: the sensor's internal rate divided by the averaging.
namespace analysis {

// Samples per second before averaging (31470 or 31473; any other product counts as 31473).
double InternalSampleRate(int product);
// Samples per second in the capture buffers with 2^avgExponent samples averaged (exponent 0..10,
// out-of-range values clamped).
double SampleRate(int product, int avgExponent);
// The product and averaging exponent a buffer sample rate comes from; false for a rate neither
// sensor gives. Every rate is unambiguous: 88000 / 64000 is no power of two.
bool SourceOfSampleRate(double sampleRate, int* product, int* avgExponent);

// Averaging the CLI, the Python module and the monitor use when none is given: 16 samples, the one
// averaging whose records hold the 10..1000 Hz velocity band on both products.
constexpr int kDefaultAvgExponent = 4;

} // namespace analysis
