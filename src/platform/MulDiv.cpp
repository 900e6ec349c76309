#include "platform/MulDiv.h"

#include <limits>

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const long long product = static_cast<long long>(a) * b;
    const bool negative = (product < 0) != (c < 0);
    const unsigned long long magnitude = static_cast<unsigned long long>(product < 0 ? -product : product);
    const unsigned long long divisor = static_cast<unsigned long long>(c < 0 ? -static_cast<long long>(c) : c);
    const unsigned long long quotient = (magnitude + divisor / 2) / divisor;
    if (quotient > static_cast<unsigned long long>(std::numeric_limits<int>::max()))
        return -1;
    return negative ? -static_cast<int>(quotient) : static_cast<int>(quotient);
}

// 128 bits hold any product of two 64-bit values.
__extension__ using Wide = __int128;

std::int64_t MulDiv64(std::int64_t a, std::int64_t b, std::int64_t c)
{
    if (c == 0)
        return -1;
    const Wide product = static_cast<Wide>(a) * b;
    const bool negative = (product < 0) != (c < 0);
    const Wide magnitude = product < 0 ? -product : product;
    const Wide divisor = c < 0 ? -static_cast<Wide>(c) : c;
    const Wide quotient = (magnitude + divisor / 2) / divisor;
    if (quotient > std::numeric_limits<std::int64_t>::max())
        return -1;
    return negative ? -static_cast<std::int64_t>(quotient) : static_cast<std::int64_t>(quotient);
}
