#include "ZynRenderProgressScope.h"

namespace NimbalCore {

namespace {

thread_local ProgressCB* tProgress = nullptr;

} // namespace

ZynRenderProgressScope::ZynRenderProgressScope(ProgressCB* progress) : saved_(tProgress) { tProgress = progress; }

ZynRenderProgressScope::~ZynRenderProgressScope() { tProgress = saved_; }

ProgressCB* ZynRenderProgressScope::Current() { return tProgress; }

} // namespace NimbalCore
