// The component model of the support library: objects implement IBase, count their references
// atomically, answer queries for interfaces by 64-bit identifier, and are shared through SmartPtr
// handles that hold a separate control block with a strong and a block count.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

namespace Vadu {

constexpr uint64_t kIBaseId = 0x004768D7EFFC4004ull;

class ISmartStruct;

// An atomic reference count that starts at 1; the object deletes itself when it reaches zero.
// Only a base: the destructor is pure so that no object is ever just a counter.
class ReferenceCounterBase {
 public:
  ReferenceCounterBase() = default;
  ReferenceCounterBase(const ReferenceCounterBase&) = delete;
  ReferenceCounterBase& operator=(const ReferenceCounterBase&) = delete;
  virtual ~ReferenceCounterBase() = 0;

  // Both return the new count.
  virtual int32_t AddRef();
  virtual int32_t Release();

  int32_t RefCount() const { return count_.load(std::memory_order_acquire); }

 private:
  std::atomic<int32_t> count_{1};
};

class IBase {
 public:
  static constexpr uint64_t kInterfaceId = kIBaseId;

  // Gives the object the control block its handles share.
  virtual void AttachControlBlock(ISmartStruct* block) = 0;
  // Both return the new count; Release deletes the object when the count reaches zero.
  virtual int32_t AddRef() = 0;
  virtual int32_t Release() = 0;
  // The requested interface of this object with one reference added, or null.
  virtual void* QueryInterface(uint64_t id) = 0;
  virtual ~IBase() = default;
};

// IBase with the reference count behind it. Concrete classes add QueryInterface.
class IBaseImpl : public IBase, public ReferenceCounterBase {
 public:
  ~IBaseImpl() override;

  // Keeps a block whose strong count is not zero; otherwise adopts the new block.
  void AttachControlBlock(ISmartStruct* block) override;
  int32_t AddRef() override { return ReferenceCounterBase::AddRef(); }
  int32_t Release() override { return ReferenceCounterBase::Release(); }

  ISmartStruct* ControlBlock() const { return block_; }

 private:
  ISmartStruct* block_ = nullptr;
};

// The control block shared by the handles of one object.
class ISmartStruct {
 public:
  // The object, or null once it is gone.
  virtual IBase* GetTarget() = 0;
  virtual int32_t AddBlockRef() = 0;
  virtual int32_t GetBlockCount() = 0;
  // Deletes the block when the count was 1.
  virtual int32_t ReleaseBlock() = 0;
  // Adds a strong reference only while the strong count is not zero.
  virtual bool TryAddStrong() = 0;
  virtual int32_t AddStrong() = 0;
  virtual int32_t GetStrongCount() = 0;
  // The last strong reference releases the object once and the strong side's block reference.
  virtual int32_t ReleaseStrong() = 0;
  virtual ~ISmartStruct() = default;
};

class SmartStruct final : public ISmartStruct {
 public:
  explicit SmartStruct(IBase* target) : target_(target) {}
  SmartStruct(const SmartStruct&) = delete;
  SmartStruct& operator=(const SmartStruct&) = delete;

  IBase* GetTarget() override { return target_.load(std::memory_order_acquire); }
  int32_t AddBlockRef() override;
  int32_t GetBlockCount() override { return blocks_.load(std::memory_order_acquire); }
  int32_t ReleaseBlock() override;
  bool TryAddStrong() override;
  int32_t AddStrong() override;
  int32_t GetStrongCount() override { return strong_.load(std::memory_order_acquire); }
  int32_t ReleaseStrong() override;

 private:
  ~SmartStruct() override = default;

  std::atomic<IBase*> target_;
  std::atomic<int32_t> blocks_{1};
  std::atomic<int32_t> strong_{1};
};

// Makes the control block for an object that has just answered the IBase query (so its count
// holds one reference for the query besides the creator's) and attaches it to the object.
ISmartStruct* AdoptNewObject(IBase* object);

// A strong handle to the T part of an object. T names its identifier as T::kInterfaceId when
// handles of other types are converted to it.
template <typename T>
class SmartPtr {
 public:
  SmartPtr() = default;

  // Takes over the single reference of a newly created object. An object that refuses the IBase
  // query gives an empty handle and stays with the caller (see MakeSmart).
  explicit SmartPtr(T* object) {
    if (!object) return;
    void* base = object->QueryInterface(kIBaseId);
    if (!base) return;
    block_ = AdoptNewObject(static_cast<IBase*>(base));
    pointer_ = object;
  }

  SmartPtr(const SmartPtr& other) : block_(other.block_), pointer_(other.pointer_) {
    if (block_) block_->AddStrong();
  }
  SmartPtr(SmartPtr&& other) noexcept : block_(other.block_), pointer_(other.pointer_) {
    other.block_ = nullptr;
    other.pointer_ = nullptr;
  }

  // Conversion to another interface of the same object, through its QueryInterface; empty when
  // the object does not implement T.
  template <typename U>
  SmartPtr(const SmartPtr<U>& other) {  // NOLINT: implicit like a pointer conversion
    ISmartStruct* block = other.Block();
    if (!block) return;
    block->AddStrong();
    IBase* target = block->GetTarget();
    void* found = target ? target->QueryInterface(T::kInterfaceId) : nullptr;
    if (!found) {
      block->ReleaseStrong();
      return;
    }
    block_ = block;
    pointer_ = static_cast<T*>(found);
    // The strong count keeps the object alive, not the query's reference.
    target->Release();
  }

  virtual ~SmartPtr() { Reset(); }

  SmartPtr& operator=(SmartPtr other) noexcept {
    std::swap(block_, other.block_);
    std::swap(pointer_, other.pointer_);
    return *this;
  }

  void Reset() {
    ISmartStruct* block = block_;
    block_ = nullptr;
    pointer_ = nullptr;
    if (block) block->ReleaseStrong();
  }

  T* Get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  T& operator*() const { return *pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  bool IsEmpty() const { return pointer_ == nullptr; }
  ISmartStruct* Block() const { return block_; }

  friend bool operator==(const SmartPtr& a, const SmartPtr& b) { return a.pointer_ == b.pointer_; }

 private:
  ISmartStruct* block_ = nullptr;
  T* pointer_ = nullptr;
};

// Creates an object and its handle; an object that refuses the IBase query is released again and
// the handle is empty.
template <typename T, typename... Args>
SmartPtr<T> MakeSmart(Args&&... args) {
  T* object = new T(std::forward<Args>(args)...);
  SmartPtr<T> handle(object);
  if (!handle) object->Release();
  return handle;
}

}  // namespace Vadu
