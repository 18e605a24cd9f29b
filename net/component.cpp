// component.cpp - the global count of live components, under one lock.
#include "net/component.h"

#include <mutex>

#include "net/stack.h"

namespace {
std::mutex gStackLock;
int gComponentCount = 0;  // guarded by gStackLock
}  // namespace

TIdComponent::TIdComponent() {
  std::lock_guard<std::mutex> lock(gStackLock);
  if (gComponentCount == 0) TIdStack::Acquire();
  ++gComponentCount;
}

TIdComponent::~TIdComponent() {
  std::lock_guard<std::mutex> lock(gStackLock);
  if (--gComponentCount == 0) TIdStack::Release();
}
