#include "analysis/SampleRate.h"
#include "registers/m470Reg.h"

#include <algorithm>

namespace analysis {

double InternalSampleRate(int product)
{
    return product == 31470 ? m470Reg::kSampleRate31470 : m470Reg::kSampleRate31473;
}

double SampleRate(int product, int avgExponent)
{
    const int n = std::clamp(avgExponent, 0, 10);
    return InternalSampleRate(product) / static_cast<double>(1 << n);
}

} // namespace analysis
