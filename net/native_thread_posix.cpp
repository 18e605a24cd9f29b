// native_thread_posix.cpp - TNativeThread over pthreads.
#include <pthread.h>

#include "net/native_thread.h"

namespace {
struct StartBlock {
  TNativeThread::Entry entry;
  void* arg;
};
void* Trampoline(void* p) {
  StartBlock block = *static_cast<StartBlock*>(p);
  delete static_cast<StartBlock*>(p);
  block.entry(block.arg);
  return nullptr;
}
}  // namespace

bool TNativeThread::Start(Entry entry, void* arg, std::size_t stackSize) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  if (stackSize != 0) pthread_attr_setstacksize(&attr, stackSize);
  pthread_t t;
  auto* block = new StartBlock{entry, arg};
  int rc = pthread_create(&t, &attr, Trampoline, block);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    delete block;
    return false;
  }
  FHandle = static_cast<std::uintptr_t>(t);
  FStarted = true;
  return true;
}

void TNativeThread::Join() {
  if (!FStarted) return;
  pthread_join(static_cast<pthread_t>(FHandle), nullptr);
  FStarted = false;
}

void TNativeThread::Detach() {
  if (!FStarted) return;
  pthread_detach(static_cast<pthread_t>(FHandle));
  FStarted = false;
}
