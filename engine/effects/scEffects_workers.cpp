// The worker pool of the effects (see scEffects_workers.h). Workers sleep on a condition
// variable between jobs; a job hands out its calls through one atomic counter, so a worker
// that the system is slow to wake simply finds fewer calls left, and the caller runs
// whatever nobody else took.
#include "engine/effects/scEffects_workers.h"

#include <algorithm>

namespace engine::workers {
namespace {

constexpr int kMostSharedWorkers = 3;

int SharedWorkerCount() {
  SYSTEM_INFO info{};
  ::GetSystemInfo(&info);
  return std::clamp(static_cast<int>(info.dwNumberOfProcessors) - 1, 0, kMostSharedWorkers);
}

// Makes every call; the first exception is kept for the caller.
void CallAll(int count, Pool::Task task, void* context, std::exception_ptr& first) {
  for (int i = 0; i < count; ++i) {
    try {
      task(context, i);
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
}

std::atomic<bool> gEnding{false};

struct SharedHolder {
  Pool pool{SharedWorkerCount()};
  ~SharedHolder() { gEnding = true; }  // before the pool itself stops
};

class Locked {
 public:
  explicit Locked(SRWLOCK& lock) : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
  ~Locked() { ::ReleaseSRWLockExclusive(&lock_); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  SRWLOCK& lock_;
};

}  // namespace

Pool::Pool(int workers) {
  workers = std::max(workers, 0);
  threads_.reserve(static_cast<size_t>(workers));
  for (int i = 0; i < workers; ++i) {
    auto thread = std::make_unique<base::Thread>();
    if (!thread->Start("effect worker", [this] { WorkerLoop(); })) break;
    threads_.push_back(std::move(thread));
  }
}

Pool::~Pool() {
  std::lock_guard<std::mutex> job(job_);
  {
    Locked locked(lock_);
    stop_ = true;
  }
  ::WakeAllConditionVariable(&wake_);
  threads_.clear();  // each joins its thread
}

void Pool::WorkerLoop() {
  unsigned seen = 0;
  Locked locked(lock_);
  for (;;) {
    while (!stop_ && !(open_ && generation_ != seen)) ::SleepConditionVariableSRW(&wake_, &lock_, INFINITE, 0);
    if (stop_) return;
    seen = generation_;
    ++busy_;
    const Task task = task_;
    void* const context = context_;
    const int count = count_;
    ::ReleaseSRWLockExclusive(&lock_);
    RunClaimed(task, context, count);
    ::AcquireSRWLockExclusive(&lock_);
    if (--busy_ == 0) ::WakeAllConditionVariable(&idle_);
  }
}

void Pool::RunClaimed(Task task, void* context, int count) {
  for (int i; (i = next_.fetch_add(1, std::memory_order_acq_rel)) < count;) {
    try {
      task(context, i);
    } catch (...) {
      Record(std::current_exception());
    }
  }
}

void Pool::Record(std::exception_ptr error) {
  Locked locked(lock_);
  if (!error_) error_ = std::move(error);
}

void Pool::ForEach(int count, Task task, void* context) {
  if (count <= 0) return;
  std::unique_lock<std::mutex> job(job_, std::try_to_lock);
  if (!job || threads_.empty() || count == 1) {
    std::exception_ptr first;
    CallAll(count, task, context, first);
    if (first) std::rethrow_exception(first);
    return;
  }
  // The workers run at the caller's priority (a recording thread may run above normal), so
  // a band they took is not left waiting behind work the caller outranks.
  const int priority = ::GetThreadPriority(::GetCurrentThread());
  if (priority != THREAD_PRIORITY_ERROR_RETURN && priority != workerPriority_) {
    for (auto& thread : threads_) thread->SetPriority(priority);
    workerPriority_ = priority;
  }
  {
    Locked locked(lock_);
    task_ = task;
    context_ = context;
    count_ = count;
    next_.store(0, std::memory_order_relaxed);
    error_ = nullptr;
    open_ = true;
    ++generation_;
  }
  ::WakeAllConditionVariable(&wake_);
  RunClaimed(task, context, count);
  std::exception_ptr error;
  {
    Locked locked(lock_);
    open_ = false;
    while (busy_ > 0) ::SleepConditionVariableSRW(&idle_, &lock_, INFINITE, 0);
    error = std::move(error_);
    error_ = nullptr;
  }
  if (error) std::rethrow_exception(error);
}

int BandsFor(int64_t bytes) {
  constexpr int64_t kLeastBandBytes = 256 * 1024;
  constexpr int kMostBands = 16;
  return static_cast<int>(std::clamp<int64_t>(bytes / kLeastBandBytes, 1, kMostBands));
}

Pool* SharedPool() {
  if (gEnding.load()) return nullptr;
  static SharedHolder holder;
  return &holder.pool;
}

}  // namespace engine::workers
