#pragma once
// Sample rate of the capture buffers: the sensor's internal rate divided by the averaging.
namespace analysis {

// Samples per second before averaging (31470 or 31473; any other product counts as 31473).
double InternalSampleRate(int product);
// Samples per second in the capture buffers with 2^avgExponent samples averaged (exponent 0..10,
// out-of-range values clamped).
double SampleRate(int product, int avgExponent);

} // namespace analysis
