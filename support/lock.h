// Locks: a recursive critical section and a scoped guard.
#pragma once

namespace Vadu {

class ILockable {
 public:
  virtual void Lock() = 0;
  virtual void Unlock() = 0;
  virtual ~ILockable() = default;
};

// A recursive lock: the owning thread may lock it again.
class CritSection : public ILockable {
 public:
  CritSection();
  ~CritSection() override;
  CritSection(const CritSection&) = delete;
  CritSection& operator=(const CritSection&) = delete;

  void Lock() override;
  void Unlock() override;

 private:
  struct Native;  // the platform's critical section
  Native* native_;
};

// Locks on construction and unlocks on destruction; a null lockable is left alone.
class AutoLock {
 public:
  explicit AutoLock(ILockable* lockable) : lockable_(lockable) {
    if (lockable_) lockable_->Lock();
  }
  virtual ~AutoLock() {
    if (lockable_) lockable_->Unlock();
  }
  AutoLock(const AutoLock&) = delete;
  AutoLock& operator=(const AutoLock&) = delete;

 private:
  ILockable* lockable_;
};

}  // namespace Vadu
