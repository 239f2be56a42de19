#pragma once
// What the layer's own source files share beyond miniwin.h.
#include "miniwin.h"

namespace miniwin {

// Marks a focus move made by the layer itself, so that a click notification it causes is not
// taken for the user's click.
class LayerFocusChange {
public:
    LayerFocusChange() : saved_(FocusChangeInProgress) { FocusChangeInProgress = true; }
    ~LayerFocusChange() { FocusChangeInProgress = saved_; }
    LayerFocusChange(const LayerFocusChange&) = delete;
    LayerFocusChange& operator=(const LayerFocusChange&) = delete;

private:
    bool saved_;
};

// Gives a new child copies of its parent's font and brush tools, linked to them so that equal
// tools share one handle, and whose changes apply to the child.
void LinkCopiedTools(TMiniControl* obj, TMiniControl* parent);

}  // namespace miniwin
