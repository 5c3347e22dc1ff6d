#include "analysis/SampleRate.h"
#include "sim/SensorModel.h"

#include <algorithm>

namespace analysis {

double InternalSampleRate(int product)
{
    // The virtual sensor is built to the sensors' data sheet rates; one table for both.
    return product == 31470 ? sim::kSampleRate31470 : sim::kSampleRate31473;
}

double SampleRate(int product, int avgExponent)
{
    const int n = std::clamp(avgExponent, 0, 10);
    return InternalSampleRate(product) / static_cast<double>(1 << n);
}

} // namespace analysis
