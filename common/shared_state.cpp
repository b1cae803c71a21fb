#include "common/shared_state.h"

SharedState Shared;

void ResetShared() {
  Shared = SharedState{};
}
