#include "ComponentState.h"

#include "component/host/contracts/FrmResLoader.h"
#include "component/host/contracts/GLData.h"
#include "component/host/contracts/GLView.h"
#include "component/host/contracts/ResLoader.h"

namespace zpp {

namespace {
ComponentState& Instance() {
    static ComponentState state;
    return state;
}
} // namespace

ComponentState& State() {
    return Instance();
}

void ResetState() {
    Instance() = ComponentState();
}

} // namespace zpp
