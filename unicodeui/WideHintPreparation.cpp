// The hint preparation that the trap of a Unicode window runs for CM_HINTSHOW. Until the wide hint
// window exists, a Unicode control's hint takes the class library's way unchanged.
#include "WideControls.h"

void PrepareWideHint(TMessage&) {}
