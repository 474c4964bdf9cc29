#include "avm1/actions/handlers.h"

namespace avm1 {

const ActionHandlers& Handlers() {
    static const ActionHandlers handlers = [] {
        ActionHandlers h;
        AddTimelineActions(h);
        AddStackActions(h);
        AddArithmeticActions(h);
        AddComparisonActions(h);
        AddStringActions(h);
        AddControlActions(h);
        AddVariableActions(h);
        AddCallActions(h);
        AddObjectActions(h);
        return h;
    }();
    return handlers;
}

}  // namespace avm1
