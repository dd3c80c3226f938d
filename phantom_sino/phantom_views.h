// phantom_sino's sinogram, view after view, computed in place in the
// output's large blocks.
#pragma once

#include "phantom.h"
#include "sink.h"
#include "status.h"
#include "views.h"

// Every view of the phantom (PhantomView: `detectors` samples, the axis at
// detector position `axis`) after the header, in the views' order. The
// views of a block are shared among threads; each is computed whole by one
// thread, so the bytes do not depend on their number. Fails with the
// sink's message when a write fails.
Status WritePhantomViews(SampleSink *sink, const Phantom &phantom, const ViewSet &views, int detectors,
                         double axis);
