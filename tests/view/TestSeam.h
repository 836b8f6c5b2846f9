#pragma once

// The view tests' name for the shared recording seam.
#include "CRecordingSeam.h"

using TestSeam = CRecordingSeam;
