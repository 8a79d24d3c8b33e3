#include "Platform/Cancel.h"

namespace Platform {
namespace {

thread_local const CancelFlag* current = nullptr;

} // namespace

CancelScope::CancelScope(const CancelFlag* flag) : previous_(current)
{
    current = flag;
}

CancelScope::~CancelScope()
{
    current = previous_;
}

const CancelFlag* currentCancelFlag()
{
    return current;
}

bool cancelRequested()
{
    return current && current->cancelled();
}

} // namespace Platform
