#include "BenchSupport.h"

#include <cstdio>

namespace bench {

void Row(const std::string& label, const std::string& value)
{
    std::printf("%s\t%s\n", label.c_str(), value.c_str());
    std::fflush(stdout);
}

std::string Fixed(double v, int decimals)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

Clock::Clock()
{
    QueryPerformanceFrequency(&freq_);
    QueryPerformanceCounter(&start_);
}

double Clock::Microseconds() const
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart - start_.QuadPart) * 1e6 / double(freq_.QuadPart);
}

}  // namespace bench
