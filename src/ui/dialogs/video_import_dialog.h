// "Importer une vidéo": the part of a clip read (start and end, with the pictures shown there),
// the frame rate and the width of the frames, and what they will cost against the memory the
// pictures of the program may take.
#pragma once

#include <QDialog>

#include "formats/avi/video_import.h"

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QSlider;
class QSpinBox;
class QTimer;

namespace lw {

// Shows the request with its part preset and sets the part on OK; false on cancel.
bool AskVideoImport(QWidget* owner, VideoImportRequest* request);

class VideoImportDialog : public QDialog {
  Q_OBJECT

 public:
  VideoImportDialog(QWidget* owner, const VideoImportRequest& request);

  VideoPart Part() const;
  QDoubleSpinBox* Start() const { return start_; }
  QDoubleSpinBox* End() const { return end_; }
  QSlider* StartSlider() const { return startSlider_; }
  QSlider* EndSlider() const { return endSlider_; }
  QComboBox* Rate() const { return rate_; }
  QSpinBox* Width() const { return width_; }
  QLabel* Cost() const { return cost_; }
  QLabel* StartPicture() const { return startPicture_; }
  QLabel* EndPicture() const { return endPicture_; }
  // The pictures at both ends, now (they follow the ends a moment after they move).
  void ShowPictures();

 private:
  void EndsChanged(bool startMoved);
  void UpdateCost();
  void ShowPicture(QLabel* label, int64_t ms);

  const VideoImportRequest& request_;
  QDoubleSpinBox* start_;
  QDoubleSpinBox* end_;
  QSlider* startSlider_;
  QSlider* endSlider_;
  QComboBox* rate_;
  QSpinBox* width_;
  QLabel* height_;
  QLabel* cost_;
  QLabel* overBudget_;
  QLabel* startPicture_;
  QLabel* endPicture_;
  QTimer* pictures_;
  bool syncing_ = false;
};

}  // namespace lw
