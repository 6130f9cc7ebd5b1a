// CritSection over a Windows critical section (recursive by nature).
#include <windows.h>

#include "support/lock.h"

namespace Vadu {

struct CritSection::Native {
  CRITICAL_SECTION section;
};

CritSection::CritSection() : native_(new Native) { InitializeCriticalSection(&native_->section); }

CritSection::~CritSection() {
  DeleteCriticalSection(&native_->section);
  delete native_;
}

void CritSection::Lock() { EnterCriticalSection(&native_->section); }

void CritSection::Unlock() { LeaveCriticalSection(&native_->section); }

}  // namespace Vadu
