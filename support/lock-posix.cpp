// CritSection over a recursive POSIX mutex.
#include <pthread.h>

#include <cstdlib>

#include "support/lock.h"

namespace Vadu {

struct CritSection::Native {
  pthread_mutex_t mutex;
};

CritSection::CritSection() : native_(new Native) {
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  // Initialisation fails only when resources are exhausted; a lock that silently does nothing
  // would be worse than stopping.
  if (pthread_mutex_init(&native_->mutex, &attributes) != 0) std::abort();
  pthread_mutexattr_destroy(&attributes);
}

CritSection::~CritSection() {
  pthread_mutex_destroy(&native_->mutex);
  delete native_;
}

void CritSection::Lock() { pthread_mutex_lock(&native_->mutex); }

void CritSection::Unlock() { pthread_mutex_unlock(&native_->mutex); }

}  // namespace Vadu
