#include "phy/common/contract.h"

#include <cstdio>
#include <cstdlib>

namespace zolk {

void contractBroken(const char* promise, const char* file, unsigned line, const char* function) {
    std::fprintf(stderr, "zolksat: broken promise at %s:%u in %s: %s\n", file, line, function, promise);
    std::abort();
}

}  // namespace zolk
