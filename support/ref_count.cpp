#include "support/ref_count.h"

namespace Vadu {

ReferenceCounterBase::~ReferenceCounterBase() = default;

int32_t ReferenceCounterBase::AddRef() {
  return count_.fetch_add(1, std::memory_order_relaxed) + 1;
}

int32_t ReferenceCounterBase::Release() {
  int32_t count = count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (count == 0) delete this;
  return count;
}

IBaseImpl::~IBaseImpl() {
  if (block_) block_->ReleaseBlock();
}

void IBaseImpl::AttachControlBlock(ISmartStruct* block) {
  if (!block || block == block_) return;
  if (block_ && block_->GetStrongCount() != 0) return;
  block->AddBlockRef();
  if (block_) block_->ReleaseBlock();
  block_ = block;
}

int32_t SmartStruct::AddBlockRef() { return blocks_.fetch_add(1, std::memory_order_relaxed) + 1; }

int32_t SmartStruct::ReleaseBlock() {
  int32_t count = blocks_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (count == 0) delete this;
  return count;
}

bool SmartStruct::TryAddStrong() {
  int32_t count = strong_.load(std::memory_order_relaxed);
  while (count != 0) {
    if (strong_.compare_exchange_weak(count, count + 1, std::memory_order_acq_rel,
                                      std::memory_order_relaxed))
      return true;
  }
  return false;
}

int32_t SmartStruct::AddStrong() { return strong_.fetch_add(1, std::memory_order_relaxed) + 1; }

int32_t SmartStruct::ReleaseStrong() {
  int32_t count = strong_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (count != 0) return count;
  // All strong handles together own one reference on the object and one on the block.
  IBase* target = target_.load(std::memory_order_acquire);
  if (target && target->Release() == 0) target_.store(nullptr, std::memory_order_release);
  ReleaseBlock();
  return 0;
}

ISmartStruct* AdoptNewObject(IBase* object) {
  SmartStruct* block = new SmartStruct(object);
  object->AttachControlBlock(block);
  // Adopted: the object's own reference now belongs to the strong side, so the query's reference
  // goes. An object that stays with an earlier live block keeps the query's reference for this
  // block's strong side instead, so neither set of handles can release it under the other.
  if (block->GetBlockCount() > 1) object->Release();
  return block;
}

}  // namespace Vadu
