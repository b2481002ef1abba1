// "Fusionner les animations": where the second animation goes and how the two are played
// together.
#pragma once

class QWidget;

namespace lw {

struct Animation;
struct MergeOptions;

// Shows the options as preset (offsets and the stored choices) and sets them on OK; false on
// cancel.
bool AskMergeOptions(QWidget* owner, const Animation& a, const Animation& b,
                     MergeOptions* options);

}  // namespace lw
