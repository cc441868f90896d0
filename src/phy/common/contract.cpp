#include "phy/common/contract.h"

#include <cstdio>
#include <cstdlib>

namespace zolk {

void contractBroken(const char* promise, std::source_location where) {
    std::fprintf(stderr, "zolksat: broken promise at %s:%u in %s: %s\n", where.file_name(),
                 static_cast<unsigned>(where.line()), where.function_name(), promise);
    std::abort();
}

}  // namespace zolk
