#pragma once
// One handler per action. A handler reads its operands from the decoded action and works on
// the activation; false ends the block (a Return at its top, a branch out of it, damage that
// leaves nothing after it to trust).

#include <array>

#include "avm1/activation.h"
#include "swf/actions.h"

namespace avm1 {

using ActionHandler = bool (*)(Activation& a, const swf::Action& action);

class ActionHandlers {
public:
    ActionHandler of(swf::ActionCode code) const { return table_[static_cast<uint8_t>(code)]; }
    void set(swf::ActionCode code, ActionHandler handler) { table_[static_cast<uint8_t>(code)] = handler; }

private:
    std::array<ActionHandler, 256> table_{};
};

// Every handler, by action code; codes without one are skipped by their length.
const ActionHandlers& Handlers();

// Each file of avm1/actions/ adds its group.
void AddTimelineActions(ActionHandlers& h);
void AddStackActions(ActionHandlers& h);
void AddArithmeticActions(ActionHandlers& h);
void AddComparisonActions(ActionHandlers& h);
void AddStringActions(ActionHandlers& h);
void AddControlActions(ActionHandlers& h);
void AddVariableActions(ActionHandlers& h);
void AddCallActions(ActionHandlers& h);
void AddObjectActions(ActionHandlers& h);

}  // namespace avm1
