// The engine's streams and DSPs, addressed by 32-bit handles. Safe to use from several
// threads: a stream being read stays alive until the read ends, even if it is freed.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "audioengine/StereoInput.h"
#include "audioengine/EngineApi.h"

namespace audioengine {

// What a stream delivers is decoded by its source and then run through its DSPs.
class Stream {
 public:
  // `release` runs once, when the stream leaves the table.
  Stream(std::unique_ptr<PcmSource> source, void (*release)(void*), void* releaseUser);

  uint64_t LengthBytes() const { return lengthBytes_; }
  uint64_t PositionBytes();
  bool IsActive();
  // Whole frames only; the DSPs see each block before it is returned.
  uint32_t GetData(uint32_t handle, void* buffer, uint32_t lengthBytes);
  bool SetPosition(uint64_t positionBytes);
  void AddDsp(uint32_t dspHandle, DSPPROC proc, void* user, int32_t priority);
  bool RemoveDsp(uint32_t dspHandle);
  // Frees the source and the DSPs; from inside one of the stream's own DSPs this is
  // done once the DSPs of the current block have returned.
  void Release();

 private:
  struct Dsp {
    uint32_t handle;
    DSPPROC proc;
    void* user;
    int32_t priority;
  };

  void RunDsps(std::unique_lock<std::recursive_mutex>& lock, uint32_t handle, void* buffer, uint32_t bytes);
  void FinishRelease(std::unique_lock<std::recursive_mutex>& lock);

  // Recursive, so that a DSP may ask its own stream for its position.
  std::recursive_mutex mutex_;
  std::unique_ptr<PcmSource> source_;
  uint64_t lengthBytes_;
  uint64_t positionBytes_ = 0;
  bool ended_ = false;
  std::vector<Dsp> dsps_;
  int callbackDepth_ = 0;        // DSP calls in progress on this stream
  bool releasePending_ = false;  // freed; no more data is delivered
  void (*release_)(void*);
  void* releaseUser_;
};

// Adds a stream and returns its new handle (never 0, never a handle in use).
uint32_t AddStream(std::shared_ptr<Stream> stream);
// The stream of that handle, or nullptr for 0, a freed or an unknown handle.
std::shared_ptr<Stream> FindStream(uint32_t handle);
// Takes the stream out of the table and releases it; false for an unknown handle.
bool FreeStream(uint32_t handle);
// Releases every stream.
void FreeAllStreams();
// A new DSP handle for `stream`.
uint32_t NewDspHandle(uint32_t stream);
// The stream a DSP handle belongs to, 0 when none.
uint32_t StreamOfDsp(uint32_t dspHandle);

}  // namespace audioengine
