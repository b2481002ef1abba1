// One memory budget for every picture the program makes: the frames a read keeps and the
// surfaces drawn from them (composited screens, previews, thumbnails).
#pragma once

#include <cstdint>
#include <vector>

namespace lw {

// The budget, in bytes: what the frames one read keeps may take together (a frame that would
// take them past it is refused as too large for memory), and the most any one surface or piece
// of work may hold. The default is half of the physical memory, at most 4 GiB; a setting of 0
// puts the default back.
uint64_t PictureBudgetBytes();
void SetPictureBudgetBytes(uint64_t bytes);

// True when a picture of width x height pixels of bytesPerPixel bytes each, rows padded to
// 4 bytes, stays within the budget, so callers can show the memory message instead of
// allocating. An empty picture always fits.
bool PictureFitsBudget(uint64_t width, uint64_t height, int bytesPerPixel);

// The bytes of such a picture; UINT64_MAX when they cannot be counted (beyond any budget).
uint64_t PictureBytes(uint64_t width, uint64_t height, int bytesPerPixel);

// The pictures one piece of work holds at once (canvases, saved copies, frames), counted
// before they are made: the reservation grows only while its total stays within the budget,
// and gives everything back when it ends.
class PictureReservation {
 public:
  PictureReservation() = default;
  ~PictureReservation();
  PictureReservation(const PictureReservation&) = delete;
  PictureReservation& operator=(const PictureReservation&) = delete;

  // Adds bytes when the total stays within the budget; false, with nothing added, otherwise.
  bool Take(uint64_t bytes);
  // Gives back bytes taken (at most all of them).
  void Give(uint64_t bytes);
  uint64_t Held() const { return held_; }

 private:
  uint64_t held_ = 0;
};

// The most bytes all reservations held at once since the last reset: what a read asked for at
// its peak, whatever the machine.
uint64_t PicturePeakBytes();
void ResetPicturePeakBytes();

// Resizes a picture's buffer as resize does (new bytes zero, std::bad_alloc when short), but
// takes a large one's memory from the system in one step instead of one fault per page as it
// is first written, which costs several times more under a virtual machine.
void ResizePicture(std::vector<uint8_t>* buffer, uint64_t bytes);

}  // namespace lw
