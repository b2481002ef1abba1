// Where the pictures of a recording wait until it stops: a temporary file rather than memory, so
// a recording of any length takes the memory of two pictures. Each picture is kept as the
// rectangle where it differs from the one before (a screen mostly still gives small records),
// with the time it was taken; a picture equal to the one before is not kept at all, its time
// going to the picture it repeats.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lw {

class RecordingFile {
 public:
  // width x height pictures in rows of RgbStride(width), blue, green, red.
  RecordingFile(uint32_t width, uint32_t height) : width_(width), height_(height) {}
  ~RecordingFile();
  RecordingFile(const RecordingFile&) = delete;
  RecordingFile& operator=(const RecordingFile&) = delete;

  // Creates the file in folder (empty: the system's temporary folder); it is removed from the
  // folder at once and lives as long as this object. limitBytes: the most the file may grow to
  // (0: as much as the disk takes).
  bool Create(const std::string& folder, uint64_t limitBytes = 0);

  enum class Added { Kept, Same, WriteFailed };
  // Keeps the picture taken at timeUs unless it equals the last one kept. After WriteFailed
  // (a full disk) the file holds every picture kept before it, and nothing more is added.
  Added Add(const std::vector<uint8_t>& picture, int64_t timeUs);

  uint32_t Count() const { return count_; }
  uint64_t Bytes() const { return written_; }

  // Reads the pictures back in order: Rewind, then Next until it returns 0. Next gives 1 with
  // the whole picture in *picture and its time, -1 when the file does not read back as written.
  bool Rewind();
  int Next(std::vector<uint8_t>* picture, int64_t* timeUs);

 private:
  bool Write(const void* data, uint64_t bytes);

  uint32_t width_;
  uint32_t height_;
  int fd_ = -1;
  uint64_t limit_ = 0;
  uint64_t written_ = 0;
  uint32_t count_ = 0;
  bool failed_ = false;
  std::vector<uint8_t> last_;   // the last picture kept
  std::vector<uint8_t> block_;  // one record being written or read
  uint32_t read_ = 0;
  uint64_t readAt_ = 0;
};

}  // namespace lw
