#include "common/Scoped.h"

namespace common {

namespace {
volatile LONG liveHandles = 0;
}

long LiveHandles() { return liveHandles; }

void detail::CountHandle(long delta) { InterlockedExchangeAdd(&liveHandles, delta); }

}  // namespace common
