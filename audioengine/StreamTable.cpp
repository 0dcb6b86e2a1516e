// Stream reading with DSPs, and the handle table.
#include "audioengine/StreamTable.h"

#include <algorithm>
#include <unordered_map>

namespace audioengine {

Stream::Stream(std::unique_ptr<PcmSource> source, void (*release)(void*), void* releaseUser)
    : source_(std::move(source)),
      lengthBytes_(source_->LengthFrames() * kFrameBytes),
      release_(release),
      releaseUser_(releaseUser) {}

uint64_t Stream::PositionBytes() {
  std::lock_guard lock(mutex_);
  return positionBytes_;
}

bool Stream::IsActive() {
  std::lock_guard lock(mutex_);
  return !ended_ && positionBytes_ < lengthBytes_;
}

uint32_t Stream::GetData(uint32_t handle, void* buffer, uint32_t lengthBytes) {
  std::unique_lock lock(mutex_);
  if (source_ == nullptr || releasePending_) return 0;
  // Never more than the stream's length, so the bytes delivered add up to it exactly.
  const uint64_t left = lengthBytes_ - positionBytes_;
  const size_t frames = static_cast<size_t>(std::min<uint64_t>(lengthBytes / kFrameBytes, left / kFrameBytes));
  if (frames == 0) {
    if (left == 0) ended_ = true;
    return 0;
  }
  auto* samples = static_cast<int16_t*>(buffer);
  const size_t got = source_->Read(samples, frames);
  if (got < frames) ended_ = true;
  const uint32_t bytes = static_cast<uint32_t>(got * kFrameBytes);
  positionBytes_ += bytes;
  if (bytes > 0) RunDsps(lock, handle, buffer, bytes);
  return bytes;
}

void Stream::RunDsps(std::unique_lock<std::recursive_mutex>& lock, uint32_t handle, void* buffer, uint32_t bytes) {
  // A DSP may add or remove DSPs or free the stream while the list is walked, so the
  // walk goes over a copy: a DSP added now runs from the next block on, one removed is
  // not called again, and a release waits until the callbacks have returned.
  const std::vector<Dsp> dsps = dsps_;
  struct CallbackScope {
    int& depth;
    explicit CallbackScope(int& d) : depth(d) { ++depth; }
    ~CallbackScope() { --depth; }
  };
  try {
    CallbackScope scope(callbackDepth_);
    for (const Dsp& dsp : dsps) {
      if (releasePending_) break;
      const bool stillSet =
          std::any_of(dsps_.begin(), dsps_.end(), [&dsp](const Dsp& d) { return d.handle == dsp.handle; });
      if (stillSet) dsp.proc(dsp.handle, handle, buffer, bytes, dsp.user);
    }
  } catch (...) {
    if (releasePending_ && callbackDepth_ == 0) FinishRelease(lock);
    throw;
  }
  if (releasePending_ && callbackDepth_ == 0) FinishRelease(lock);
}

bool Stream::SetPosition(uint64_t positionBytes) {
  std::lock_guard lock(mutex_);
  if (source_ == nullptr || positionBytes % kFrameBytes != 0 || positionBytes > lengthBytes_) return false;
  if (!source_->SeekFrame(positionBytes / kFrameBytes)) return false;
  positionBytes_ = positionBytes;
  ended_ = false;
  return true;
}

void Stream::AddDsp(uint32_t dspHandle, DSPPROC proc, void* user, int32_t priority) {
  std::lock_guard lock(mutex_);
  // Higher priorities run first; equal ones in the order they were set.
  auto at = std::find_if(dsps_.begin(), dsps_.end(), [priority](const Dsp& d) { return d.priority < priority; });
  dsps_.insert(at, Dsp{dspHandle, proc, user, priority});
}

bool Stream::RemoveDsp(uint32_t dspHandle) {
  std::lock_guard lock(mutex_);
  auto at = std::find_if(dsps_.begin(), dsps_.end(), [dspHandle](const Dsp& d) { return d.handle == dspHandle; });
  if (at == dsps_.end()) return false;
  dsps_.erase(at);
  return true;
}

void Stream::Release() {
  std::unique_lock lock(mutex_);
  // Freed from inside one of its own DSPs: the read that runs them finishes the release.
  if (callbackDepth_ > 0) {
    releasePending_ = true;
    ended_ = true;
    return;
  }
  FinishRelease(lock);
}

void Stream::FinishRelease(std::unique_lock<std::recursive_mutex>& lock) {
  releasePending_ = true;
  ended_ = true;
  std::unique_ptr<PcmSource> source = std::move(source_);
  dsps_.clear();
  void (*release)(void*) = nullptr;
  std::swap(release, release_);
  void* user = releaseUser_;
  lock.unlock();
  source.reset();
  // Outside the lock: releasing a tempo stream frees its source through the table.
  if (release != nullptr) release(user);
}

namespace {

struct Table {
  std::mutex mutex;
  std::unordered_map<uint32_t, std::shared_ptr<Stream>> streams;
  std::unordered_map<uint32_t, uint32_t> dspStreams;
  uint32_t nextHandle = 0x10000;
};

Table& GetTable() {
  static Table table;
  return table;
}

// Called with the table locked.
uint32_t NextHandle(Table& table) {
  for (;;) {
    const uint32_t handle = table.nextHandle++;
    // 0 is failure and 0xFFFFFFFF reads as an error; handles in use are skipped.
    if (handle == 0 || handle == 0xFFFFFFFFu) continue;
    if (table.streams.count(handle) != 0 || table.dspStreams.count(handle) != 0) continue;
    return handle;
  }
}

}  // namespace

uint32_t AddStream(std::shared_ptr<Stream> stream) {
  Table& table = GetTable();
  std::lock_guard lock(table.mutex);
  const uint32_t handle = NextHandle(table);
  table.streams.emplace(handle, std::move(stream));
  return handle;
}

std::shared_ptr<Stream> FindStream(uint32_t handle) {
  Table& table = GetTable();
  std::lock_guard lock(table.mutex);
  auto found = table.streams.find(handle);
  return found == table.streams.end() ? nullptr : found->second;
}

bool FreeStream(uint32_t handle) {
  std::shared_ptr<Stream> stream;
  {
    Table& table = GetTable();
    std::lock_guard lock(table.mutex);
    auto found = table.streams.find(handle);
    if (found == table.streams.end()) return false;
    stream = std::move(found->second);
    table.streams.erase(found);
    std::erase_if(table.dspStreams, [handle](const auto& entry) { return entry.second == handle; });
  }
  stream->Release();
  return true;
}

void FreeAllStreams() {
  std::unordered_map<uint32_t, std::shared_ptr<Stream>> streams;
  {
    Table& table = GetTable();
    std::lock_guard lock(table.mutex);
    streams.swap(table.streams);
    table.dspStreams.clear();
  }
  for (auto& entry : streams) entry.second->Release();
}

uint32_t NewDspHandle(uint32_t stream) {
  Table& table = GetTable();
  std::lock_guard lock(table.mutex);
  const uint32_t handle = NextHandle(table);
  table.dspStreams.emplace(handle, stream);
  return handle;
}

uint32_t StreamOfDsp(uint32_t dspHandle) {
  Table& table = GetTable();
  std::lock_guard lock(table.mutex);
  auto found = table.dspStreams.find(dspHandle);
  return found == table.dspStreams.end() ? 0 : found->second;
}

}  // namespace audioengine
