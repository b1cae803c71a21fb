#include "app/app_state.h"

#include "common/random.h"
#include "common/shared_state.h"

AppState App;

void ResetApp() {
  App = AppState{};
  ResetShared();
  ResetRandom();
}
