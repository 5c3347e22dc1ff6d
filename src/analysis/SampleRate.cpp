#include "analysis/SampleRate.h"
#include "registers/m470Reg.h"

#include <algorithm>
#include <cmath>

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

bool SourceOfSampleRate(double sampleRate, int* product, int* avgExponent)
{
    for (int p : {31473, 31470})
        for (int n = 0; n <= 10; ++n)
            if (std::abs(SampleRate(p, n) - sampleRate) <= 1e-9 * sampleRate) {
                *product = p;
                *avgExponent = n;
                return true;
            }
    return false;
}

} // namespace analysis
