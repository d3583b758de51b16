#include "engine/DistributionRun.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "engine/CopyEngine.h"
#include "platform/NetworkPaths.h"
#include "platform/TurnTakingFileSystem.h"

namespace tolvane {

DistributionRun::DistributionRun(DestinationTree& tree, const SourceList& sources, StatusLog& log,
                                 Clock& clock, RunFlags& flags, RunView& view, RunTools tools)
    : tree_(tree),
      sources_(sources),
      log_(log),
      clock_(clock),
      flags_(flags),
      view_(view),
      tools_(tools) {}

DistributionRun::~DistributionRun() = default;

void DistributionRun::SetParallel(int parallel) {
  parallel_ = std::clamp(parallel, 1, kMaxParallel);
}

bool IsNetworkDestination(const std::string& folder) {
#ifdef _WIN32
  // The shell's network places may lead anywhere the system can reach.
  return !folder.empty();
#else
  // Here every destination is a folder under the network root, reached by its network path.
  return IsNetworkPath(folder);
#endif
}

TreeNode* NextInTreeOrder(const DestinationTree& tree, TreeNode* node) {
  if (!node) return nullptr;
  if (node->ChildCount() > 0) return node->Child(0);
  for (TreeNode* n = node; n; n = n->Parent()) {
    const int next = n->Row() + 1;
    TreeNode* parent = n->Parent();
    const int siblings = parent ? parent->ChildCount() : tree.TopLevelCount();
    if (next < siblings) return parent ? parent->Child(next) : tree.TopLevel(next);
  }
  return nullptr;
}

namespace {

// How long the window thread waits for news at most before it looks again by itself.
constexpr int kWaitMs = 100;

constexpr char kUnrestored[] = "配布先をツリーに再現できなかったため配布できません";
constexpr char kOutsideNetwork[] = "ネットワークフォルダの外を指すため書き込みません: ";
constexpr char kStoppedElsewhere[] = "  配布が中止されたため、この配布先の残りは写しません";

// A worker has no window to keep alive, but keeps the pause after each copied file (the Wait
// setting), which leaves the network and the servers room; a stop cuts the pause short.
class WorkerPump : public EventPump {
 public:
  WorkerPump(EventPump& window, int pauseMs, const RunFlags& flags)
      : window_(window), flags_(flags) {
    SetPause(pauseMs);
  }
  void Sleep(int milliseconds) override {
    constexpr int kSlice = 10;
    for (int left = milliseconds; left > 0 && !flags_.stopRequested; left -= kSlice) {
      window_.PauseWorker(std::min(left, kSlice));
    }
  }
  void ProcessPendingEvents() override {}

 private:
  EventPump& window_;
  const RunFlags& flags_;
};

// A function a worker has the window thread run, and whether it has run.
struct WindowTask {
  std::function<void()> run;
  bool done = false;  // under the mailbox's lock
};

// What a worker tells the window thread.
struct News {
  enum class Kind {
    Line,
    StartFile,
    FileBytes,
    FileCopied,
    FileSkipped,
    FileUnchanged,
    FileFailed,
    ShowNow,
    Ask,
    Done
  };
  News(Kind kind, int slot = 0, int lane = 0) : kind(kind), slot(slot), lane(lane) {}
  Kind kind;
  int slot = 0;
  int lane = 0;
  std::string text;
  std::uint64_t value = 0;
  WindowTask* task = nullptr;
  bool failed = false;
};

// The workers' news for the window thread, which a worker's post wakes.
class Mailbox {
 public:
  explicit Mailbox(EventPump& pump) : pump_(pump) {}

  void Post(News news) {
    bool wake = false;
    {
      std::lock_guard lock(mutex_);
      items_.push_back(std::move(news));
      wake = !wakePending_;
      wakePending_ = true;
    }
    if (wake) pump_.Wake();
  }

  std::vector<News> Take() {
    std::lock_guard lock(mutex_);
    wakePending_ = false;
    return std::exchange(items_, {});
  }

  // Worker: has the window thread run task, and waits until it has (or the run is closing,
  // in which case it does not run).
  void RunOnWindowThread(WindowTask& task) {
    {
      std::lock_guard lock(mutex_);
      if (closed_) return;
    }
    News news(News::Kind::Ask);
    news.task = &task;
    Post(std::move(news));
    std::unique_lock lock(mutex_);
    answered_.wait(lock, [&] { return task.done || closed_; });
  }

  void Answer(WindowTask& task) {
    std::lock_guard lock(mutex_);
    task.done = true;
    answered_.notify_all();
  }

  // No task runs any more: the workers waiting for one go on as if it had not been run.
  void Close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    answered_.notify_all();
  }

 private:
  EventPump& pump_;
  std::mutex mutex_;
  std::condition_variable answered_;
  std::vector<News> items_;
  bool wakePending_ = false;
  bool closed_ = false;
};

// A destination's log lines, sent to the window thread.
class WorkerLog : public LogLines {
 public:
  WorkerLog(Mailbox& mail, int slot) : mail_(mail), slot_(slot) {}
  void AddLogLine(const std::string& text) override {
    News news(News::Kind::Line, slot_);
    news.text = text;
    mail_.Post(std::move(news));
  }

 private:
  Mailbox& mail_;
  int slot_;
};

// A destination's progress, sent to the window thread.
class WorkerProgress : public FileProgress {
 public:
  WorkerProgress(Mailbox& mail, int slot, int lane) : mail_(mail), slot_(slot), lane_(lane) {}
  void StartFile(const std::string& source) override { Send(News::Kind::StartFile, 0, source); }
  void FileBytes(std::uint64_t done) override { Send(News::Kind::FileBytes, done); }
  void FileCopied(std::uint64_t size) override { Send(News::Kind::FileCopied, size); }
  void FileSkipped() override { Send(News::Kind::FileSkipped); }
  void FileUnchanged() override { Send(News::Kind::FileUnchanged); }
  void FileFailed(int files) override {
    Send(News::Kind::FileFailed, static_cast<std::uint64_t>(files));
  }
  void ShowNow() override { Send(News::Kind::ShowNow); }

 private:
  void Send(News::Kind kind, std::uint64_t value = 0, const std::string& text = {}) {
    News news(kind, slot_, lane_);
    news.value = value;
    news.text = text;
    mail_.Post(std::move(news));
  }

  Mailbox& mail_;
  int slot_;
  int lane_;
};

// A worker's questions, asked by the window thread's prompts one at a time through the run's
// window call. A question that comes up once the run is stopping is not shown (the call does
// not run it): it gets the answer that stops.
class WorkerPrompts : public Prompts {
 public:
  WorkerPrompts(const WindowCall& onWindow, Prompts& prompts, RunFlags& flags)
      : onWindow_(onWindow), prompts_(prompts), flags_(flags) {}

  PromptAnswer AskYesNoCancel(const std::string& caption, const std::string& text) override {
    return Ask(PromptAnswer::Cancel, [&] { return prompts_.AskYesNoCancel(caption, text); });
  }
  PromptAnswer AskOverwrite(const std::string& caption, const std::string& text) override {
    return Ask(PromptAnswer::Cancel, [&] {
      // Another destination's question may have been answered for the whole run meanwhile.
      if (const auto all = flags_.OverwriteAll()) {
        return *all ? PromptAnswer::YesToAll : PromptAnswer::NoToAll;
      }
      const PromptAnswer answer = prompts_.AskOverwrite(caption, text);
      // Answered for the whole run before the next question is looked at.
      if (answer == PromptAnswer::YesToAll || answer == PromptAnswer::NoToAll) {
        flags_.SetOverwriteAll(answer == PromptAnswer::YesToAll);
      }
      return answer;
    });
  }
  PromptAnswer AskAbortRetryIgnore(const std::string& caption, const std::string& text) override {
    return Ask(PromptAnswer::Abort, [&] { return prompts_.AskAbortRetryIgnore(caption, text); });
  }
  PromptAnswer AskYesNo(const std::string& caption, const std::string& text) override {
    return Ask(PromptAnswer::No, [&] { return prompts_.AskYesNo(caption, text); });
  }
  void ShowMessage(const std::string& caption, const std::string& text) override {
    Ask(PromptAnswer::Ok, [&] {
      prompts_.ShowMessage(caption, text);
      return PromptAnswer::Ok;
    });
  }
  void ShowError(const std::string& caption, const std::string& text) override {
    Ask(PromptAnswer::Ok, [&] {
      prompts_.ShowError(caption, text);
      return PromptAnswer::Ok;
    });
  }

 private:
  template <typename F>
  PromptAnswer Ask(PromptAnswer whenStopping, F ask) {
    PromptAnswer answer = whenStopping;
    onWindow_([&] { answer = ask(); });
    return answer;
  }

  const WindowCall& onWindow_;
  Prompts& prompts_;
  RunFlags& flags_;
};

}  // namespace

// One run's workers and what the window thread keeps of each destination.
class DistributionRun::Session {
 public:
  explicit Session(DistributionRun& run)
      : run_(run),
        mail_(run.tools_.pump),
        turns_(std::make_shared<std::mutex>()),
        pauseMs_(run.tools_.pump.PauseMs()) {
    options_.Update(run.tools_.options);
  }

  ~Session() {
    // However the run ends, no worker is left waiting or running.
    if (AnyBusy()) run_.flags_.stopRequested = true;
    mail_.Close();
    for (auto& w : workers_) w->Quit();
  }

  RunOutcome Run();

 private:
  // A destination handed out, in tree order.
  struct Slot {
    TreeNode* node = nullptr;
    DestinationResult result;
    std::chrono::milliseconds started{0};
    std::vector<std::string> held;  // lines waiting for their turn
    bool done = false;
  };

  class Worker {
   public:
    Worker(Session& session, int lane, std::unique_ptr<FileSystem> fs)
        : session_(session), lane_(lane), fs_(std::move(fs)), thread_([this] { Loop(); }) {}
    ~Worker() { Quit(); }

    bool Busy() const { return busy_; }  // window thread
    void Give(int slot, std::string folder) {
      busy_ = true;
      std::lock_guard lock(mutex_);
      job_ = Job{slot, std::move(folder)};
      wake_.notify_one();
    }
    void Done() { busy_ = false; }
    void Quit() {
      {
        std::lock_guard lock(mutex_);
        quit_ = true;
        wake_.notify_one();
      }
      if (thread_.joinable()) thread_.join();
    }

   private:
    struct Job {
      int slot;
      std::string folder;
    };
    void Loop();
    void Serve(const Job& job);

    Session& session_;
    const int lane_;
    std::unique_ptr<FileSystem> fs_;
    bool busy_ = false;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Job> job_;
    bool quit_ = false;
    std::thread thread_;  // last: it starts once the rest is made
  };

  bool Serves(TreeNode* node) const;
  TreeNode* NextToServe();
  // Hands destinations to free workers while there are any and the walk has not ended.
  void HandOut();
  // A worker free for the next destination, made when there are fewer than Parallel.
  Worker* FreeWorker();
  bool CanServeMore() const;
  void Handle(News& news);
  void Line(int slot, const std::string& text);
  void Finish(int slot, bool failed, const std::string& firstFailure);
  int CountUnreachable(Slot& slot);
  bool AnyBusy() const;

  DistributionRun& run_;
  Mailbox mail_;
  // Any thread: runs a function on the window thread, one at a time, unless the run is stopping.
  const WindowCall onWindow_ = [this](const std::function<void()>& fn) {
    WindowTask task{[&] {
      if (!run_.flags_.stopRequested) fn();
    }};
    mail_.RunOnWindowThread(task);
  };
  SharedCopyOptions options_;
  std::shared_ptr<std::mutex> turns_;  // for workers that take turns on the run's file system
  const int pauseMs_;                  // after each copied file
  std::vector<std::unique_ptr<Worker>> workers_;
  std::deque<Slot> slots_;
  std::size_t head_ = 0;  // the first destination not finished: its lines go out as they come
  std::deque<WindowTask*> questions_;
  std::vector<TreeNode*> toServe_;
  TreeNode* walked_ = nullptr;  // the last node the walk looked at
  bool walkStarted_ = false;
  bool walkEnded_ = false;
  bool anyFailed_ = false;
};

void DistributionRun::Session::Worker::Loop() {
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [&] { return quit_ || job_; });
      if (quit_) return;
      job = std::move(*job_);
      job_.reset();
    }
    Serve(job);
  }
}

void DistributionRun::Session::Worker::Serve(const Job& job) {
  DistributionRun& run = session_.run_;
  WorkerLog log(session_.mail_, job.slot);
  WorkerProgress progress(session_.mail_, job.slot, lane_);
  WorkerPrompts prompts(session_.onWindow_, run.tools_.prompts, run.flags_);
  WorkerPump pump(run.tools_.pump, session_.pauseMs_, run.flags_);
  std::string firstFailure;
  bool failed = false;
  bool stoppedHere = false;
  try {
    for (int j = 0; j < run.sources_.Count(); ++j) {
      const std::string entry = run.sources_.At(j).path;
      CopyEngine engine(*fs_, prompts, pump, log, session_.options_, run.flags_);
      engine.SetProgress(&progress);
      engine.SetFirstFailure(&firstFailure);
      if (run.plan_) engine.SetPlan(&run.plan_->walk, run.plan_->For(job.folder));
      if (engine.CopyEntry(entry, job.folder)) failed = true;
      stoppedHere = stoppedHere || engine.StoppedTheRun();
      if (run.flags_.stopRequested) break;
    }
  } catch (const std::exception& e) {
    // Nothing a copy throws may end the program: the destination failed, with the reason.
    log.AddLogLine(std::string("  ") + e.what());
    if (firstFailure.empty()) firstFailure = e.what();
    failed = true;
  }
  // Cut short by a stop that came from elsewhere: said in this destination's block too.
  if (failed && run.flags_.stopRequested && !stoppedHere && run.parallel_ > 1) {
    log.AddLogLine(kStoppedElsewhere);
  }
  News done(News::Kind::Done, job.slot, lane_);
  done.failed = failed;
  done.text = std::move(firstFailure);
  session_.mail_.Post(std::move(done));
}

bool DistributionRun::Session::Serves(TreeNode* node) const {
  if (!run_.serve_) return IsMarkedState(node->StateImage());
  return std::find(toServe_.begin(), toServe_.end(), node) != toServe_.end();
}

TreeNode* DistributionRun::Session::NextToServe() {
  // The walk follows nodes, not indices, and finds the next node only when a destination is
  // wanted: the tree stays usable during a run, a mark set meanwhile counts, and a listing
  // that adds nodes neither skips a destination nor serves one twice.
  while (!walkEnded_) {
    TreeNode* next = walkStarted_ ? NextInTreeOrder(run_.tree_, walked_) : run_.tree_.Root();
    walkStarted_ = true;
    if (!next) {
      walkEnded_ = true;
      break;
    }
    walked_ = next;
    if (Serves(next)) return next;
  }
  return nullptr;
}

bool DistributionRun::Session::CanServeMore() const {
  return static_cast<int>(workers_.size()) < run_.parallel_ ||
         std::any_of(workers_.begin(), workers_.end(), [](const auto& w) { return !w->Busy(); });
}

DistributionRun::Session::Worker* DistributionRun::Session::FreeWorker() {
  for (auto& w : workers_) {
    if (!w->Busy()) return w.get();
  }
  if (static_cast<int>(workers_.size()) >= run_.parallel_) return nullptr;
  // Each worker has a file system of its own; one that cannot be made takes turns.
  std::unique_ptr<FileSystem> fs = run_.tools_.fs.ForWorker(onWindow_);
  if (!fs) fs = std::make_unique<TurnTakingFileSystem>(run_.tools_.fs, turns_);
  const int lane = static_cast<int>(workers_.size());
  workers_.push_back(std::make_unique<Worker>(*this, lane, std::move(fs)));
  return workers_.back().get();
}

void DistributionRun::Session::HandOut() {
  while (!run_.flags_.stopRequested) {
    if (!CanServeMore()) return;
    TreeNode* node = NextToServe();
    if (!node) return;
    run_.view_.ShowDestination(node);
    if (run_.progress_) run_.progress_->StartDestination();
    const int index = static_cast<int>(slots_.size());
    Slot& slot = slots_.emplace_back();
    slot.node = node;
    slot.started = run_.clock_.Ticks();
    const std::string folder = node->Record().folderPath;
    slot.result.folder = folder.empty() ? node->Record().nodePath : folder;
    Line(index, LogName(folder));
    if (!IsNetworkDestination(folder)) {
      // A network-place shortcut that leads elsewhere on this machine (a list may mark one):
      // nothing is written there.
      const std::string line = kOutsideNetwork + LogName(slot.result.folder);
      Line(index, "  " + line);
      CountUnreachable(slot);  // nothing arrived there
      Finish(index, true, line);
      continue;
    }
    FreeWorker()->Give(index, folder);
  }
}

void DistributionRun::Session::Line(int slot, const std::string& text) {
  if (static_cast<std::size_t>(slot) == head_) {
    run_.log_.AddLogLine(text);
  } else {
    slots_[slot].held.push_back(text);
  }
}

int DistributionRun::Session::CountUnreachable(Slot& slot) {
  int files = 0;
  for (int j = 0; j < run_.sources_.Count(); ++j) {
    files += run_.countFiles_ ? run_.countFiles_(run_.sources_.At(j).path) : 1;
  }
  // A destination with nothing to copy still failed.
  files = std::max(files, 1);
  if (run_.progress_) run_.progress_->FileFailed(files);
  slot.result.failed += files;
  return files;
}

void DistributionRun::Session::Finish(int index, bool failed, const std::string& firstFailure) {
  Slot& slot = slots_[index];
  slot.done = true;
  slot.result.time = run_.clock_.Ticks() - slot.started;
  slot.result.firstFailure = firstFailure;
  slot.result.destinationFailed = failed;
  if (failed) {
    if (IsMarkedState(slot.node->StateImage())) run_.tree_.SetStateImage(slot.node, kStateFailed);
    run_.tree_.SetFailedInLastRun(slot.node, true);
    anyFailed_ = true;
  }
  // The next destinations in tree order have their turn in the log, as far as they are done.
  while (head_ < slots_.size() && slots_[head_].done) {
    ++head_;
    if (head_ == slots_.size()) break;
    for (const std::string& line : slots_[head_].held) run_.log_.AddLogLine(line);
    slots_[head_].held.clear();
  }
}

void DistributionRun::Session::Handle(News& news) {
  RunProgress* progress = run_.progress_;
  DestinationResult& result = slots_[news.slot].result;
  if (progress) progress->SetLane(news.lane);
  switch (news.kind) {
    case News::Kind::Line:
      Line(news.slot, news.text);
      break;
    case News::Kind::StartFile:
      if (progress) progress->StartFile(news.text);
      break;
    case News::Kind::FileBytes:
      if (progress) progress->FileBytes(news.value);
      break;
    case News::Kind::FileCopied:
      if (progress) progress->FileCopied(news.value);
      ++result.copied;
      result.bytes += news.value;
      break;
    case News::Kind::FileSkipped:
      if (progress) progress->FileSkipped();
      ++result.skipped;
      break;
    case News::Kind::FileUnchanged:
      if (progress) progress->FileUnchanged();
      ++result.unchanged;
      break;
    case News::Kind::FileFailed:
      if (progress) progress->FileFailed(static_cast<int>(news.value));
      result.failed += static_cast<int>(news.value);
      break;
    case News::Kind::ShowNow:
      if (progress) progress->ShowNow();
      break;
    case News::Kind::Ask:
      questions_.push_back(news.task);
      break;
    case News::Kind::Done:
      workers_[news.lane]->Done();
      Finish(news.slot, news.failed, news.text);
      break;
  }
}

bool DistributionRun::Session::AnyBusy() const {
  return std::any_of(workers_.begin(), workers_.end(), [](const auto& w) { return w->Busy(); });
}

RunOutcome DistributionRun::Session::Run() {
  RunFlags& flags = run_.flags_;
  if (run_.serve_) {
    for (int i = 0; i < run_.tree_.NodeCount(); ++i) {
      if (run_.serve_(*run_.tree_.NodeAt(i))) toServe_.push_back(run_.tree_.NodeAt(i));
    }
  }
  // Which destinations failed is told of this run alone; the failed marks stay.
  run_.tree_.ClearFailedInLastRun();
  if (RunProgress* progress = run_.progress_) {
    // The destinations that could not be found again count among the run's destinations too.
    progress->StartRun(run_.serve_ ? static_cast<int>(toServe_.size())
                                   : run_.tree_.CountMarkedNodes() +
                                         static_cast<int>(run_.tree_.Unrestored().size()));
    progress->SetPlannedTotals(run_.plannedFiles_, run_.plannedBytes_);
  }
  for (;;) {
    // A change of the options made meanwhile applies to the next file.
    options_.Update(run_.tools_.options);
    HandOut();
    for (News& news : mail_.Take()) Handle(news);
    if (!questions_.empty()) {
      // One question at a time, with the news that came meanwhile shown before the next.
      WindowTask* task = questions_.front();
      questions_.pop_front();
      task->run();
      mail_.Answer(*task);
      continue;
    }
    if (!AnyBusy() && (walkEnded_ || flags.stopRequested)) break;
    if (AnyBusy()) run_.tools_.pump.WaitForEvents(kWaitMs);
  }
  mail_.Close();
  for (auto& w : workers_) w->Quit();

  RunOutcome outcome;
  outcome.anyDestinationFailed = anyFailed_;
  for (Slot& slot : slots_) outcome.results.push_back(std::move(slot.result));
  // The destinations of the list that could not be found again fail: nothing reached them.
  if (!flags.stopRequested && !run_.serve_) {
    for (const UnrestoredDestination& d : run_.tree_.Unrestored()) {
      // One of the run's destinations all the same: the summary counts it.
      if (run_.progress_) run_.progress_->StartDestination();
      Slot slot;
      slot.result.folder = d.folderPath.empty() ? d.nodePath : d.folderPath;
      run_.log_.AddLogLine(LogName(slot.result.folder));
      run_.log_.AddLogLine(std::string("  ") + kUnrestored);
      CountUnreachable(slot);
      slot.result.firstFailure = kUnrestored;
      slot.result.destinationFailed = true;
      outcome.anyDestinationFailed = true;
      outcome.results.push_back(std::move(slot.result));
    }
  }
  std::stable_partition(outcome.results.begin(), outcome.results.end(),
                        [](const DestinationResult& r) { return r.destinationFailed; });
  return outcome;
}

RunOutcome DistributionRun::RunDistribution() {
  view_.ShowRunning(true);
  // Every file has a log line: the file stays open for the run.
  log_.KeepFileOpen(true);
  struct Restore {
    RunView& view;
    StatusLog& log;
    ~Restore() {
      log.KeepFileOpen(false);
      view.ShowRunning(false);
    }
  } restore{view_, log_};

  log_.ClearMemo();
  flags_.StartRun();
  log_.AddLogLine(RunStartLine(clock_.Now()));
  RunOutcome outcome = Session(*this).Run();
  for (const DestinationResult& result : outcome.results) log_.AddLogLine(ResultLogLine(result));
  outcome.stopped = flags_.stopRequested;
  log_.AddLogLine(RunEndLine(clock_.Now(), outcome.stopped));
  if (progress_) progress_->EndRun(outcome.stopped);
  return outcome;
}


std::string ResultLogLine(const DestinationResult& r) {
  // "失敗" only where something failed: a search of the log for it finds failures alone.
  return "結果 " + LogName(r.folder) + ": 成功 " + std::to_string(r.copied) + ", スキップ " +
         std::to_string(r.skipped) + ", 変更なし " + std::to_string(r.unchanged) +
         (r.failed ? ", 失敗 " + std::to_string(r.failed) : std::string()) + ", " +
         FormatBytes(r.bytes) + ", " + FormatElapsed(r.time);
}

}  // namespace tolvane
