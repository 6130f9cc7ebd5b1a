#include "support/ref_count.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace Vadu {
namespace {

class IShape : public IBase {
 public:
  static constexpr uint64_t kInterfaceId = 0x0011223344556677ull;
  virtual int Corners() const = 0;
};

class IColour : public IBase {
 public:
  static constexpr uint64_t kInterfaceId = 0x0011223344556688ull;
  virtual int Red() const = 0;
};

// Implements IShape only; counts its destructions.
class Square : public IBaseImpl, public IShape {
 public:
  explicit Square(std::atomic<int>* destroyed, bool answers = true)
      : destroyed_(destroyed), answers_(answers) {}
  ~Square() override { ++*destroyed_; }

  void AttachControlBlock(ISmartStruct* block) override { IBaseImpl::AttachControlBlock(block); }
  int32_t AddRef() override { return IBaseImpl::AddRef(); }
  int32_t Release() override { return IBaseImpl::Release(); }
  void* QueryInterface(uint64_t id) override {
    if (!answers_) return nullptr;
    if (id != kIBaseId && id != IShape::kInterfaceId) return nullptr;
    AddRef();
    IShape* shape = this;
    return id == kIBaseId ? static_cast<void*>(static_cast<IBase*>(shape)) : shape;
  }
  int Corners() const override { return 4; }

 private:
  std::atomic<int>* destroyed_;
  bool answers_;
};

TEST(SmartPtr, NullAndRefusingObjectsGiveEmptyHandles) {
  EXPECT_TRUE(SmartPtr<Square>(nullptr).IsEmpty());
  std::atomic<int> destroyed{0};
  auto* refusing = new Square(&destroyed, false);
  EXPECT_TRUE(SmartPtr<Square>(refusing).IsEmpty());
  // The handle took nothing over: the creator's reference is still there.
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(refusing->ControlBlock(), nullptr);
  refusing->Release();
  EXPECT_EQ(destroyed, 1);
  EXPECT_TRUE((MakeSmart<Square>(&destroyed, false)).IsEmpty());
  EXPECT_EQ(destroyed, 2);
}

TEST(SmartPtr, HandlesShareOneBlockAndTheLastDestroysTheObject) {
  std::atomic<int> destroyed{0};
  auto* square = new Square(&destroyed);
  SmartPtr<Square> handle(square);
  ISmartStruct* block = handle.Block();
  EXPECT_EQ(square->ControlBlock(), block);
  // Held once by the strong side and once by the object.
  EXPECT_EQ(block->GetBlockCount(), 2);
  {
    SmartPtr<Square> copy(handle);
    SmartPtr<Square> assigned;
    assigned = copy;
    SmartPtr<Square> moved(std::move(copy));
    EXPECT_TRUE(copy.IsEmpty());
    EXPECT_EQ(block->GetStrongCount(), 3);
    // The strong count holds the object, not each handle.
    EXPECT_EQ(square->RefCount(), 1);
    // Conversion goes through QueryInterface and shares the block; a refused one is empty.
    SmartPtr<IShape> shape(handle);
    EXPECT_EQ(shape.Block(), block);
    EXPECT_EQ(shape->Corners(), 4);
    EXPECT_TRUE(SmartPtr<IColour>(handle).IsEmpty());
    SmartPtr<IBase> base(shape);
    EXPECT_EQ(base.Get(), block->GetTarget());
    EXPECT_EQ(block->GetStrongCount(), 5);
    EXPECT_EQ(square->RefCount(), 1);
  }
  EXPECT_EQ(block->GetStrongCount(), 1);
  EXPECT_EQ(destroyed, 0);
  handle.Reset();
  EXPECT_EQ(destroyed, 1);
  EXPECT_TRUE(SmartPtr<IShape>{SmartPtr<Square>()}.IsEmpty());
}

TEST(SmartStruct, BlockOutlivesItsObjectWhileReferenced) {
  std::atomic<int> destroyed{0};
  SmartPtr<Square> handle = MakeSmart<Square>(&destroyed);
  ISmartStruct* block = handle.Block();
  EXPECT_EQ(block->AddBlockRef(), 3);

  EXPECT_TRUE(block->TryAddStrong());
  EXPECT_EQ(block->GetStrongCount(), 2);
  EXPECT_EQ(block->ReleaseStrong(), 1);

  handle.Reset();
  EXPECT_EQ(destroyed, 1);
  // The object is gone and gave back its block reference; ours keeps the block.
  EXPECT_EQ(block->GetTarget(), nullptr);
  EXPECT_EQ(block->GetStrongCount(), 0);
  EXPECT_EQ(block->GetBlockCount(), 1);
  EXPECT_FALSE(block->TryAddStrong());
  EXPECT_EQ(block->GetStrongCount(), 0);
  EXPECT_EQ(block->ReleaseBlock(), 0);
  EXPECT_EQ(destroyed, 1);
}

TEST(SmartStruct, ObjectHeldByARawReferenceSurvivesItsHandles) {
  std::atomic<int> destroyed{0};
  auto* square = new Square(&destroyed);
  SmartPtr<Square> handle(square);
  ISmartStruct* block = handle.Block();
  square->AddRef();
  handle.Reset();
  EXPECT_EQ(destroyed, 0);
  // Not released completely, so the block still names it; the object holds the block.
  EXPECT_NE(block->GetTarget(), nullptr);
  EXPECT_EQ(block->GetBlockCount(), 1);
  EXPECT_FALSE(block->TryAddStrong());

  // A new handle gives the object a new block in place of the dead one.
  SmartPtr<Square> again(square);
  EXPECT_NE(again.Block(), nullptr);
  EXPECT_EQ(square->ControlBlock(), again.Block());
  EXPECT_EQ(square->RefCount(), 1);
  again.Reset();
  EXPECT_EQ(destroyed, 1);
}

TEST(SmartStruct, SecondHandleFromALiveObjectCannotFreeItUnderTheFirst) {
  for (bool firstGoesFirst : {true, false}) {
    std::atomic<int> destroyed{0};
    auto* square = new Square(&destroyed);
    SmartPtr<Square> first(square);
    SmartPtr<Square> second(square);
    // The object stays with its live block; the second block holds its own reference.
    EXPECT_EQ(square->ControlBlock(), first.Block());
    EXPECT_NE(second.Block(), first.Block());
    EXPECT_EQ(square->RefCount(), 2);
    (firstGoesFirst ? first : second).Reset();
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ((firstGoesFirst ? second : first)->Corners(), 4);
    (firstGoesFirst ? second : first).Reset();
    EXPECT_EQ(destroyed, 1);
  }
}

TEST(SmartPtr, CopiesOnManyThreadsKeepCountsExact) {
  std::atomic<int> destroyed{0};
  SmartPtr<Square> handle = MakeSmart<Square>(&destroyed);
  ISmartStruct* block = handle.Block();
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      while (!go) std::this_thread::yield();
      for (int round = 0; round < 200; ++round) {
        std::vector<SmartPtr<Square>> copies(50, handle);
        std::vector<SmartPtr<IShape>> shapes(copies.begin(), copies.end());
        for (auto& shape : shapes) EXPECT_EQ(shape->Corners(), 4);
      }
    });
  }
  go = true;
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(block->GetStrongCount(), 1);
  EXPECT_EQ(block->GetBlockCount(), 2);
  EXPECT_EQ(handle->RefCount(), 1);
  EXPECT_EQ(destroyed, 0);
  handle.Reset();
  EXPECT_EQ(destroyed, 1);
}

TEST(SmartPtr, LastHandleOnAnyThreadDestroysOnce) {
  std::atomic<int> destroyed{0};
  for (int round = 0; round < 200; ++round) {
    SmartPtr<Square> handle = MakeSmart<Square>(&destroyed);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) threads.emplace_back([copy = handle]() mutable { copy.Reset(); });
    handle.Reset();
    for (auto& thread : threads) thread.join();
  }
  EXPECT_EQ(destroyed, 200);
}

}  // namespace
}  // namespace Vadu
