#include "FuzzInput.h"

#include <cstdio>
#include <cstdlib>

namespace tervane::fuzz {

void Violated(const char* rule)
{
    std::fprintf(stderr, "rule broken: %s\n", rule);
    std::abort();
}

} // namespace tervane::fuzz
