#include "transfer/data_flow.h"

#include "transfer/player_control.h"

namespace vark
{

CDataFlow::~CDataFlow()
{
    if (controller_) controller_->Forget(this);
}

void CDataFlow::Post(int code, platform::LPARAM value) const
{
    if (controller_) controller_->Post(code, value);
}

TrilCalls* CDataFlow::Player() const
{
    return controller_ ? &controller_->Tril() : nullptr;
}

} // namespace vark
