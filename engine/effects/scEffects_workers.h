// Internal to the effects: a few worker threads that run the bands of one frame beside the
// calling thread. The effects that split a frame use the process's shared pool, started on
// first use and stopped when the program ends, so no thread is made per frame; tests make
// pools of their own.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

#include "base/thread.h"

namespace engine::workers {

class Pool {
 public:
  using Task = void (*)(void* context, int index);

  // Starts up to `workers` threads (fewer when the system gives fewer; none is allowed).
  explicit Pool(int workers);
  // Waits for a job in progress, then stops and joins the threads.
  ~Pool();
  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;

  int workers() const { return static_cast<int>(threads_.size()); }

  // Calls task(context, i) once for every i in [0, count), on the calling thread and on the
  // workers that are free, in no set order; returns when every call has returned. Each call
  // runs under a catch: the first exception is thrown again here, on the calling thread, once
  // all calls have ended. One job runs at a time: a second caller meanwhile (another thread)
  // runs its calls all on its own thread. The workers take the caller's thread priority.
  // Nothing is allocated per job.
  void ForEach(int count, Task task, void* context);

  template <class F>
  void ForEach(int count, F& f) {
    ForEach(count, [](void* c, int i) { (*static_cast<F*>(c))(i); }, &f);
  }

 private:
  void WorkerLoop();
  // Claims and runs the open job's calls until none is left.
  void RunClaimed(Task task, void* context, int count);
  void Record(std::exception_ptr error);

  SRWLOCK lock_ = SRWLOCK_INIT;
  CONDITION_VARIABLE wake_ = CONDITION_VARIABLE_INIT;  // a job opened, or stop
  CONDITION_VARIABLE idle_ = CONDITION_VARIABLE_INIT;  // the last worker left a job
  // Guarded by lock_. A worker joins a job only while it is open; the caller closes it once
  // no call is left to claim, then waits until busy_ is 0, so a job's next_ and fields are
  // never touched by a worker of another job.
  bool open_ = false, stop_ = false;
  unsigned generation_ = 0;
  int busy_ = 0;
  Task task_ = nullptr;
  void* context_ = nullptr;
  int count_ = 0;
  std::exception_ptr error_;
  std::atomic<int> next_{0};  // the next call to claim
  std::mutex job_;            // held by the caller of the running job
  int workerPriority_ = THREAD_PRIORITY_NORMAL;  // guarded by job_
  std::vector<std::unique_ptr<base::Thread>> threads_;
};

// The process's shared pool: up to three workers, no more than the processors less one.
// Started on first use; null once the program is ending.
Pool* SharedPool();

// The bands worth splitting the work over this many bytes of a frame into: a quarter of a
// megabyte or more each (below that the work is over before a worker is awake), and at most
// 16, several per thread, so a worker that is late to wake holds nobody up. 1: not worth it.
int BandsFor(int64_t bytes);

// Runs f(i) for i in [0, count) as Pool::ForEach does, on the shared pool; on the calling
// thread alone when count is 1 or the program is ending.
template <class F>
void ForEachBand(int count, F& f) {
  if (Pool* pool = count > 1 ? SharedPool() : nullptr) {
    pool->ForEach(count, f);
    return;
  }
  for (int i = 0; i < count; ++i) f(i);
}

}  // namespace engine::workers
