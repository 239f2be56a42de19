#pragma once
// The benchmark's clock and its output: every figure is one "label<TAB>value" line, which
// bench/run sets beside the other architecture's.
#include <windows.h>

#include <string>

namespace bench {

void Row(const std::string& label, const std::string& value);
std::string Fixed(double v, int decimals = 1);

class Clock {
public:
    Clock();
    double Microseconds() const;  // since the clock was made

private:
    LARGE_INTEGER freq_, start_;
};

}  // namespace bench
